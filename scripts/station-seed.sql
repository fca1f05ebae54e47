-- The rows a new station needs for its first runs, loaded once into the
-- station's database after schema.sql (docs/install.md, "Quick start"):
--   pallets    the pallet types goods arrive on (id, name, height in mm);
--   decode     the settings recommended for a new station;
--   session    a first session, whose floor plane kelvo_calibrate floor --write
--              replaces with the one it fits;
--   awbexport  two shipment rows of that session, for a first depallet run
--              (S1.pcd) and a first split run (S2.pcd).
-- Change base.data.folder to where the acquisition writes its scans. The
-- acquisition writes a session row per session and a shipment row per scan
-- itself; the two rows here are examples of both.

INSERT INTO pallets (id, product_name, h) VALUES
  (1, 'EPAL Euro pallet 1200x800', 144),
  (2, 'Industrial pallet 1200x1000', 144),
  (3, 'Half pallet 800x600', 144);

INSERT INTO decode (decclass, deckey, decvalue, dectype) VALUES
  -- Where the scans are: B/<sid>/S<n>.pcd.
  ('CONFIG', 'base.data.folder', '/srv/kelvo/scans', 'S'),
  -- The inbound box fitted to the goods' faces: new stations measure in
  -- precise mode from the start (calibrate after changing it).
  ('CONFIG', 'inbound.precise', '1', 'I'),
  -- The layer above the pallet's top (or the floor) that the cut removes,
  -- mm; kelvo_calibrate floor --write replaces it with the floor's noise.
  ('CONFIG', 'pallet.correction.height', '10', 'D'),
  -- The octree grid of the surface and V-shape volumes, metres.
  ('CONFIG', 'octree.real.volume.resolution', '0.02', 'D'),
  -- Split: goods 5 cm apart or more are separate objects; groups below 100
  -- points are dropped. With the start values (0) a split finds nothing.
  ('CONFIG', 'pcl.cluster.tollerance', '0.05', 'D'),
  ('CONFIG', 'pcl.min.cluster.size', '100', 'I'),
  ('CONFIG', 'pcl.max.cluster.size', '10000000', 'I'),
  -- Saved clouds coloured by height (rainbow), and a picture of every
  -- measurement beside its cloud file.
  ('CONFIG', 'pcl.color.map.type', '4', 'S'),
  ('CONFIG', 'image.snapshot', '1', 'I');

-- A level floor 2.5 m below the camera until the floor is calibrated.
INSERT INTO session (sid, coeff_a, coeff_b, coeff_c, coeff_d) VALUES
  ('S0001', 0, 0, 1, -2.5);

-- pallet_op 2: goods on a pallet, to be removed.
INSERT INTO awbexport (ID, sid, AWB, NrPackages, pallet_op) VALUES
  (1, 'S0001', 'FIRST-1', 1, 2),
  (2, 'S0001', 'FIRST-2', 2, 2);
