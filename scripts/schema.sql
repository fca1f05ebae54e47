-- Tables that kelvo_tools reads and updates. Only the columns the tool names
-- are required; a real installation may carry many more.

CREATE TABLE IF NOT EXISTS decode (
  id         INT          NOT NULL AUTO_INCREMENT PRIMARY KEY,
  decclass   VARCHAR(32)  NOT NULL,
  deckey     VARCHAR(128) NOT NULL,
  decvalue   VARCHAR(255) NOT NULL DEFAULT '',
  dectype    VARCHAR(4)   NOT NULL DEFAULT 'S',
  decactive  TINYINT      NOT NULL DEFAULT 1,
  KEY decode_active (decactive)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE IF NOT EXISTS session (
  sid      VARCHAR(64) NOT NULL PRIMARY KEY,
  coeff_a  DOUBLE      NOT NULL DEFAULT 0,
  coeff_b  DOUBLE      NOT NULL DEFAULT 0,
  coeff_c  DOUBLE      NOT NULL DEFAULT 0,
  coeff_d  DOUBLE      NOT NULL DEFAULT 0
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE IF NOT EXISTS awbexport (
  ID                    INT         NOT NULL AUTO_INCREMENT PRIMARY KEY,
  sid                   VARCHAR(64) NOT NULL,
  AWB                   VARCHAR(64) NOT NULL DEFAULT '',
  NrPackages            INT         NOT NULL DEFAULT 0,
  pallet_op             INT         NOT NULL DEFAULT 0,
  HPackage              DOUBLE NULL,
  WPackage              DOUBLE NULL,
  LPackage              DOUBLE NULL,
  Inbound               DOUBLE NULL,
  RealVolume            DOUBLE NULL,
  InboundVolumeSurface  DOUBLE NULL,
  RealVolumeSurface     DOUBLE NULL,
  ibx1 DOUBLE NULL, iby1 DOUBLE NULL, ibz1 DOUBLE NULL,
  ibx2 DOUBLE NULL, iby2 DOUBLE NULL, ibz2 DOUBLE NULL,
  ibx3 DOUBLE NULL, iby3 DOUBLE NULL, ibz3 DOUBLE NULL,
  ibx4 DOUBLE NULL, iby4 DOUBLE NULL, ibz4 DOUBLE NULL,
  ibx5 DOUBLE NULL, iby5 DOUBLE NULL, ibz5 DOUBLE NULL,
  ibx6 DOUBLE NULL, iby6 DOUBLE NULL, ibz6 DOUBLE NULL,
  ibx7 DOUBLE NULL, iby7 DOUBLE NULL, ibz7 DOUBLE NULL,
  ibx8 DOUBLE NULL, iby8 DOUBLE NULL, ibz8 DOUBLE NULL,
  KEY awbexport_session (sid, NrPackages)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE IF NOT EXISTS pallets (
  id            INT          NOT NULL PRIMARY KEY,
  product_name  VARCHAR(128) NOT NULL DEFAULT '',
  h             DOUBLE       NOT NULL DEFAULT 0
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;
