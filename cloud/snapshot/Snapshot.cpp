// The picture kept with a measurement: drawn by the picture module, which is
// loaded on the first picture of a run, and written like every other output.
#include "cloud/snapshot/Snapshot.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "cloud/AtomicFile.h"
#include "cloud/snapshot/SnapshotPainter.h"

namespace {

const char* const kWriteFailure = "Unable to write file: ";
const char* const kModuleName = "libkelvo_snapshot.so";
const char* const kEntryPoint = "kelvo_snapshot_paint";

using PaintFunction = decltype(&kelvo_snapshot_paint);

/// The folder of the running program, with its final slash; empty when the
/// program's own path is unknown.
std::string ProgramFolder() {
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) {
        return std::string();
    }
    const std::string program(self, static_cast<std::size_t>(length));
    const std::size_t slash = program.rfind('/');
    return slash == std::string::npos ? std::string() : program.substr(0, slash + 1);
}

/// Where the module may be: beside the program (the build folder), then the
/// installed module folder, found from the program's own folder so that an
/// installation works under any prefix.
std::vector<std::string> ModulePlaces() {
    const std::string folder = ProgramFolder();
    if (folder.empty()) {
        return {};
    }
    std::vector<std::string> places = {folder + kModuleName};
#ifdef KELVO_SNAPSHOT_INSTALLED_FOLDER
    places.push_back(folder + KELVO_SNAPSHOT_INSTALLED_FOLDER "/" + kModuleName);
#endif
    return places;
}

/// The module's entry point, loaded once per process; throws with the
/// loader's reason when neither place holds a module that loads.
PaintFunction Painter() {
    static const PaintFunction paint = [] {
        std::string reasons;
        const std::vector<std::string> places = ModulePlaces();
        for (const std::string& place : places) {
            if (place.empty() || access(place.c_str(), F_OK) != 0) {
                continue;
            }
            void* module = dlopen(place.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (module == nullptr) {
                reasons = dlerror();
                continue;
            }
            if (void* entry = dlsym(module, kEntryPoint)) {
                return reinterpret_cast<PaintFunction>(entry);
            }
            reasons = place + " has no " + kEntryPoint;
        }
        throw std::runtime_error("no picture module " + std::string(kModuleName) +
                                 " beside the program or in its installed folder" +
                                 (reasons.empty() ? std::string() : ": " + reasons));
        return PaintFunction(nullptr);
    }();
    return paint;
}

}  // namespace

Snapshot::Snapshot(std::time_t runTime, Ground ground) : runTime(runTime), ground(ground) {}

std::string Snapshot::Render(const Cloud& cloud) const {
    std::string png;
    std::string fault;
    if (!Painter()(&cloud, runTime, static_cast<int>(ground), &png, &fault)) {
        throw std::runtime_error(fault);
    }
    return png;
}

void Snapshot::Save(const Cloud& cloud, const std::string& path) const {
    std::string png;
    try {
        png = Render(cloud);
    } catch (const std::exception& e) {
        throw std::runtime_error(kWriteFailure + path + " (" + e.what() + ")");
    }
    AtomicFile file(path, kWriteFailure);
    file.Write(png);
    file.Commit();
}

boost::filesystem::path Snapshot::PathBeside(const boost::filesystem::path& pcd) {
    return boost::filesystem::path(pcd).replace_extension(".png");
}
