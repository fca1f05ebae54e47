// The floor under the cost of a whole run: a process that loads a scan as
// kelvo_tools loads it and writes its points back as kelvo_tools writes a
// cloud, with the three box scenes beside it, and measures nothing. Used by
// bench/floor.sh, which times it against the real runs on the same scans.
//   bench_floor_run SCAN.pcd OUT_FOLDER
#include <malloc.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <boost/filesystem/operations.hpp>
#include <exception>
#include <iostream>
#include <string>

#include "app/LargePageHeap.h"
#include "cloud/Cloud.h"
#include "cloud/VRML.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: bench_floor_run SCAN.pcd OUT_FOLDER" << std::endl;
        return 1;
    }
    // The heap of kelvo_tools, so that the floor pays for memory as the runs do.
    mallopt(M_ARENA_MAX, 1);
    app::UseLargePageHeap(app::kLargePageHeapBytes);
    try {
        const std::string out = argv[2];
        boost::filesystem::create_directories(out);
        Cloud cloud;
        cloud.Load(argv[1]);
        cloud.Save(out + "/S1.pcd");
        for (const char* scene : {"/S1_0.wrl", "/S1_1.wrl", "/S1_2.wrl"}) {
            cloud.GetVrmlSurface().save(out + scene);
        }
        std::cout << "points: " << cloud.getCloud()->size() << std::endl;
    } catch (const std::exception& e) {
        std::cerr << "ERROR: " << e.what() << std::endl;
        return 1;
    }
    return 0;
}
