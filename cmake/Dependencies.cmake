# Third-party libraries of the tool, gathered in one interface target.
find_package(PCL 1.10 REQUIRED COMPONENTS common filters io sample_consensus search kdtree segmentation)
find_package(octomap REQUIRED)
find_package(Boost REQUIRED COMPONENTS program_options filesystem system)
find_package(PkgConfig REQUIRED)
pkg_check_modules(JSONCPP REQUIRED IMPORTED_TARGET jsoncpp)
pkg_check_modules(LZF REQUIRED IMPORTED_TARGET liblzf)
# The pictures (a module of their own): cairo draws them, with a font file
# opened through FreeType, and libpng (cairo's own encoder) encodes them with
# settings of their own.
pkg_check_modules(CAIRO REQUIRED IMPORTED_TARGET cairo cairo-ft freetype2 libpng)

find_path(MYSQLCPPCONN_INCLUDE_DIR NAMES mysql_driver.h PATH_SUFFIXES cppconn REQUIRED)
find_library(MYSQLCPPCONN_LIBRARY NAMES mysqlcppconn REQUIRED)
# The package volume calls the reentrant hull library directly.
find_path(QHULL_R_INCLUDE_DIR NAMES libqhull_r/qhull_ra.h REQUIRED)
find_library(QHULL_R_LIBRARY NAMES qhull_r REQUIRED)

add_library(kelvo_deps INTERFACE)
target_include_directories(kelvo_deps SYSTEM INTERFACE
  ${PCL_INCLUDE_DIRS} ${OCTOMAP_INCLUDE_DIRS} ${MYSQLCPPCONN_INCLUDE_DIR} ${QHULL_R_INCLUDE_DIR})
target_compile_definitions(kelvo_deps INTERFACE ${PCL_DEFINITIONS})
# The tool links only the point-cloud component it calls: every shared
# library loaded is paid for at each start, also by a run that stops at the
# lookup (the filters alone, with the sample consensus, search, trees and
# OpenMP they load, took two thirds of it).
target_link_libraries(kelvo_deps INTERFACE
  ${PCL_COMMON_LIBRARIES} ${OCTOMAP_LIBRARIES}
  Boost::program_options Boost::filesystem Boost::system
  PkgConfig::JSONCPP PkgConfig::LZF ${MYSQLCPPCONN_LIBRARY} ${QHULL_R_LIBRARY})

# The library's reader, writer, filters and clustering: references for the
# tests and benchmarks only, never linked into the tool.
add_library(kelvo_pcl_reference INTERFACE)
target_link_libraries(kelvo_pcl_reference INTERFACE ${PCL_LIBRARIES})
