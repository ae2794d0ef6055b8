#include "Commands.h"

#include "SheetCodec.h"
#include "anim/AnimChain.h"
#include "frames/IntList.h"
#include "palette/PalManager.h"
#include "plugins/DllManager.h"
#include "plugins/DynamicLibrary.h"
#include "plugins/ProgramFolders.h"
#include "plugins/SaveNames.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <ostream>

namespace fs = std::filesystem;

namespace pzconv {

namespace {

const char* orDash(const char* text) {
    return text != nullptr && *text != '\0' ? text : "-";
}

// `text` followed by spaces up to `width`, and always at least two.
std::string column(const std::string& text, size_t width) {
    return text + std::string(std::max(width, text.size()) - text.size() + 2, ' ');
}

const char* yesNo(bool b) {
    return b ? "yes" : "no";
}

std::string describePlugin(const PluginRecord& record) {
    return std::string(record.fileName.c_str()) + " (" + record.extension.c_str() + ", " +
           record.description.c_str() + ")";
}

// Closes the file open in the manager however the command ends.
class OpenFileCloser {
public:
    explicit OpenFileCloser(cDllManager& plugins) : plugins_(plugins) {}
    ~OpenFileCloser() { plugins_.CloseObject(); }
    OpenFileCloser(const OpenFileCloser&) = delete;
    OpenFileCloser& operator=(const OpenFileCloser&) = delete;

private:
    cDllManager& plugins_;
};

// The extension sprite sheets open by, in any case.
bool isSheetExtension(std::string ext) {
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == "json";
}

bool openInput(cDllManager& plugins, const std::string& path, std::ostream& err) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) {
        err << "pzconv: cannot open '" << path << "': no such file\n";
        return false;
    }
    if (plugins.OpenObject(path.c_str()))
        return true;
    const std::string ext = openingExtension(path.c_str());
    if (ext.empty()) {
        err << "pzconv: '" << path << "' has no extension to choose a plug-in by\n";
        return false;
    }
    const PluginRecord* reader = plugins.FindByExtension(ext.c_str());
    if (reader == nullptr)
        err << "pzconv: no plug-in reads files ending in '" << ext << "' (see pzconv list)\n";
    else if (plugins.OpenFailure().empty())
        err << "pzconv: " << describePlugin(*reader) << " could not read '" << path << "'\n";
    else
        err << "pzconv: " << describePlugin(*reader) << " could not read '" << path
            << "': " << plugins.OpenFailure() << "\n";
    return false;
}

} // namespace

int runList(cDllManager& plugins, std::ostream& out, std::ostream& err) {
    if (plugins.count == 0) {
        err << "pzconv: no plug-ins (pz*" << librarySuffix() << ") in";
        const std::vector<std::string> folders = pluginFolders();
        for (const std::string& folder : folders)
            err << " " << folder;
        err << (folders.empty() ? " any folder" : "") << "\n";
        return kExitFailed;
    }
    // The folder goes last: it is the longest, and the columns before it stay aligned.
    struct Row {
        std::array<std::string, 8> cells;
        std::string folder;
    };
    std::vector<Row> rows;
    rows.push_back(
        {{"FILE", "EXT", "AUTHOR", "VERSION", "READ", "FRAMES", "ANIM", "DESCRIPTION"}, "FOLDER"});
    for (int i = 0; i < plugins.count; ++i) {
        const char* error = plugins.PluginLoadError(i);
        const std::string folder = orDash(plugins.PluginFolder(i));
        if (plugins.PluginExtension(i) == nullptr) {
            rows.push_back({{orDash(plugins.PluginFileName(i)), "-", "-", "-", "no", "no", "no",
                             std::string("cannot be loaded: ") + orDash(error)},
                            folder});
            continue;
        }
        rows.push_back({{plugins.PluginFileName(i), plugins.PluginExtension(i),
                         orDash(plugins.PluginAuthor(i)), orDash(plugins.PluginVersion(i)),
                         yesNo(plugins.PluginReadsFiles(i)), yesNo(plugins.PluginSavesFrames(i)),
                         yesNo(plugins.PluginSavesAnims(i)), orDash(plugins.PluginDescription(i))},
                        folder});
    }
    std::array<size_t, 8> widths{};
    for (const Row& row : rows)
        for (size_t c = 0; c < widths.size(); ++c)
            widths[c] = std::max(widths[c], row.cells[c].size());
    for (const Row& row : rows) {
        for (size_t c = 0; c < widths.size(); ++c)
            out << column(row.cells[c], widths[c]);
        out << row.folder << "\n";
    }
    return kExitOk;
}

int runInfo(cDllManager& plugins, const Options& options, std::ostream& out, std::ostream& err) {
    if (!openInput(plugins, options.input, err))
        return kExitFailed;
    const OpenFileCloser closer(plugins);
    const int count = plugins.FrameCount();
    out << "File:    " << options.input << "\n"
        << "Plug-in: " << describePlugin(*plugins.current()) << "\n"
        << "Frames:  " << count << "\n";
    int failures = 0;
    if (count > 0)
        out << column("FRAME", 5) << column("SIZE", 11) << column("PALETTE", 16) << column("TAG", 5)
            << "TRANSPARENT\n";
    for (int f = 0; f < count; ++f) {
        const std::string number = frameNumberText(f);
        const std::optional<LockedFrame> frame = plugins.LockFrame(f);
        if (!frame) {
            out << number << "    cannot be locked\n";
            ++failures;
            continue;
        }
        const std::string size = std::to_string(frame->width) + "x" + std::to_string(frame->height);
        const std::string pal = frame->palette != nullptr
                                    ? "own, " + std::to_string(frame->colorCount) + " colours"
                                    : "none";
        out << column(number, 5) << column(size, 11) << column(pal, 16)
            << column(std::to_string(frame->tag), 5)
            << (frame->transparent >= 0 ? std::to_string(frame->transparent) : "-") << "\n";
    }
    if (failures > 0) {
        err << "pzconv: " << failures << " frame(s) of '" << options.input
            << "' could not be locked\n";
        return kExitFailed;
    }
    return kExitOk;
}

int runConvert(cDllManager& plugins, const Options& options, std::ostream& out, std::ostream& err) {
    std::string stem, ext;
    if (!splitOutputPath(options.output, stem, ext)) {
        err << "pzconv: '" << options.output
            << "' has no extension to choose the output format by\n";
        return kExitUsage;
    }
    const PluginRecord* writer = plugins.FindByExtension(ext.c_str());
    if (writer == nullptr) {
        err << "pzconv: no plug-in handles the extension '" << ext << "' (see pzconv list)\n";
        return kExitFailed;
    }
    if (options.anim ? !writer->savesAnims : !writer->savesFrames) {
        err << "pzconv: " << describePlugin(*writer) << " cannot save "
            << (options.anim ? "animations" : "frames") << "\n";
        return kExitFailed;
    }

    if (!openInput(plugins, options.input, err))
        return kExitFailed;
    const OpenFileCloser closer(plugins);
    const int count = plugins.FrameCount();
    if (count <= 0) {
        err << "pzconv: '" << options.input << "' holds no frames\n";
        return kExitFailed;
    }
    const FrameRange range = options.frames.value_or(FrameRange{0, count - 1});
    if (range.last >= count) {
        err << "pzconv: frames " << range.first << "-" << range.last << " are not all in '"
            << options.input << "', which holds frames 0-" << count - 1 << "\n";
        return kExitUsage;
    }

    const int named = options.anim ? 1 : range.last - range.first + 1;
    const std::string first = frameOutputName(stem.c_str(), range.first, named, ext.c_str()).str();
    if (isSheetExtension(ext) && !pz4json::mayWritePicture(first)) {
        err << "pzconv: '" << pz4json::sheetPicture(first) << "' is not the picture of '" << first
            << "': a sprite sheet is not written over it\n";
        return kExitFailed;
    }
    // A plug-in may write fewer files than it is handed names (a sprite sheet is one
    // file for all its frames): only the files this save wrote are reported.
    std::map<std::string, fs::file_time_type> before;
    for (int f = range.first; f <= range.last; ++f) {
        const std::string name = frameOutputName(stem.c_str(), f, named, ext.c_str()).str();
        std::error_code ec;
        const fs::file_time_type time = fs::last_write_time(name, ec);
        if (!ec)
            before[name] = time;
    }
    // Frames without a palette are saved in the one pz4 starts with.
    const cPalManager startPalette;
    cIntList frames(range.first);
    cIntList* last = &frames;
    for (int f = range.first + 1; f <= range.last; ++f) {
        last->next = std::make_unique<cIntList>(f);
        last = last->next.get();
    }
    const FrameSaveResult result = SaveFrames(
        plugins, options.anim ? cSaveChain::Kind::Animation : cSaveChain::Kind::Frames, &frames,
        stem.c_str(), ext.c_str(), startPalette.colors.get(), LockFailure::SaveNothing);
    if (result.unlockedFrame >= 0) {
        err << "pzconv: cannot lock frame " << result.unlockedFrame << " of '" << options.input
            << "'; nothing written\n";
        return kExitFailed;
    }
    if (!result.saved) {
        err << "pzconv: " << describePlugin(*writer) << " failed to save "
            << (options.anim ? "the animation " : "the frames to ") << result.files.front()
            << (result.files.size() > 1 ? " ..." : "") << "\n";
        return kExitFailed;
    }
    for (const std::string& name : result.files) {
        std::error_code ec;
        const fs::file_time_type time = fs::last_write_time(name, ec);
        const auto was = before.find(name);
        if (!ec && (was == before.end() || was->second != time))
            out << "wrote " << name << "\n";
    }
    return kExitOk;
}

namespace {

bool isPng(const std::string& path) {
    char signature[8] = {};
    std::ifstream(path, std::ios::binary).read(signature, sizeof signature);
    return std::string(signature, sizeof signature) == "\x89PNG\r\n\x1a\n";
}

// The tiles of the grid, row by row; one more than a sheet may hold at most, so a
// grid of too many is known without listing them all.
std::vector<pz4json::SheetEntry> gridTiles(const Grid& g, int width, int height,
                                           const std::string& name) {
    std::vector<pz4json::SheetEntry> tiles;
    for (int64_t y = g.offsetY; y + g.tileHeight <= height; y += g.tileHeight + g.gapY)
        for (int64_t x = g.offsetX; x + g.tileWidth <= width; x += g.tileWidth + g.gapX) {
            if (tiles.size() > pz4json::kMaxFrames)
                return tiles;
            tiles.push_back({name + " " + std::to_string(tiles.size()), static_cast<int>(x),
                             static_cast<int>(y), g.tileWidth, g.tileHeight, 100});
        }
    return tiles;
}

} // namespace

int runSlice(cDllManager& plugins, const Options& options, std::ostream& out, std::ostream& err) {
    std::string stem, ext;
    if (!splitOutputPath(options.output, stem, ext) || !isSheetExtension(ext)) {
        err << "pzconv: '" << options.output
            << "' does not end in .json, the extension sprite sheets open by\n";
        return kExitUsage;
    }
    // The descriptor names its picture from its own folder, and the sheet reader
    // refuses names that climb out of it.
    std::error_code outEc, inEc;
    const fs::path folder = fs::weakly_canonical(fs::absolute(options.output).parent_path(), outEc);
    const fs::path image = (fs::weakly_canonical(fs::absolute(options.input).parent_path(), inEc) /
                            fs::path(options.input).filename())
                               .lexically_relative(folder);
    if (outEc || inEc || image.empty() || *image.begin() == "..") {
        err << "pzconv: '" << options.input << "' is not in the folder of '" << options.output
            << "' or below it, where a sheet's picture must be\n";
        return kExitFailed;
    }
    int width = 0, height = 0;
    {
        if (!openInput(plugins, options.input, err))
            return kExitFailed;
        const OpenFileCloser closer(plugins);
        const std::optional<LockedFrame> frame = plugins.LockFrame(0);
        if (!frame) {
            err << "pzconv: cannot lock frame 0 of '" << options.input << "'\n";
            return kExitFailed;
        }
        width = frame->width;
        height = frame->height;
    }
    if (!isPng(options.input)) {
        err << "pzconv: '" << options.input
            << "' is not a PNG picture, the only kind a sheet's descriptor opens\n";
        return kExitFailed;
    }
    const Grid& g = options.grid;
    std::vector<pz4json::SheetEntry> tiles =
        gridTiles(g, width, height, fs::path(options.input).stem().string());
    const std::string tile = std::to_string(g.tileWidth) + "x" + std::to_string(g.tileHeight);
    const std::string picture = std::to_string(width) + "x" + std::to_string(height);
    if (tiles.size() > pz4json::kMaxFrames) {
        err << "pzconv: more than " << pz4json::kMaxFrames << " " << tile << " tiles in the "
            << picture << " picture, more than a sheet holds\n";
        return kExitFailed;
    }
    if (tiles.empty() || tiles.size() < static_cast<size_t>(g.count)) {
        err << "pzconv: " << tiles.size() << " whole " << tile << " tiles fit in the " << picture
            << " picture of '" << options.input << "' at " << g.offsetX << "," << g.offsetY
            << (g.count > 0 ? ", not " + std::to_string(g.count) : std::string()) << "\n";
        return kExitFailed;
    }
    if (g.count > 0)
        tiles.resize(static_cast<size_t>(g.count));
    const std::string text =
        pz4json::describeSheet(tiles, image.generic_string(), nullptr, width, height);
    if (!pz4fmt::writeFile(options.output.c_str(),
                           std::vector<uint8_t>(text.begin(), text.end()))) {
        err << "pzconv: cannot write '" << options.output << "'\n";
        return kExitFailed;
    }
    out << "wrote " << options.output << ": " << tiles.size() << " frames of " << tile << "\n";
    return kExitOk;
}

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Options options;
    std::string error;
    if (!parseArguments(args, options, error)) {
        err << "pzconv: " << error << "\n" << kSynopsis << "Run 'pzconv --help' for more.\n";
        return kExitUsage;
    }
    if (options.command == Command::Help) {
        out << kSynopsis << kHelp;
        return kExitOk;
    }
    cDllManager plugins;
    switch (options.command) {
    case Command::List:
        return runList(plugins, out, err);
    case Command::Info:
        return runInfo(plugins, options, out, err);
    case Command::Convert:
        return runConvert(plugins, options, out, err);
    case Command::Slice:
        return runSlice(plugins, options, out, err);
    case Command::Help:
        break;
    }
    return kExitOk;
}

} // namespace pzconv
