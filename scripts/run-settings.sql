-- Decode settings for depallet and split runs on generated scans (demo and
-- benchmarks): a pallet correction that clears the scanner's noise on the
-- pallet's top face, the octree grid, and cluster limits for boxes 10 cm apart.
INSERT INTO decode (decclass, deckey, decvalue, dectype) VALUES
  ('CONFIG', 'pallet.correction.height', '10', 'D'),
  ('CONFIG', 'octree.real.volume.resolution', '0.02', 'D'),
  ('CONFIG', 'pcl.cluster.tollerance', '0.05', 'D'),
  ('CONFIG', 'pcl.min.cluster.size', '100', 'I'),
  ('CONFIG', 'pcl.max.cluster.size', '10000000', 'I');
