#pragma once

// Fixtures for the page-container tests: multi-page TIFF and animated GIF files written by
// ImageMagick, a private temporary folder that the core's page files go to, and loads
// through a file or a stream.

#include "core/image_table.h"

#include <string>
#include <vector>

namespace tavimo::testing {

// Points the `tmp` environment variable at a fresh folder for its lifetime, so every page
// file the core makes lands there and can be counted. The old value comes back and the
// folder is removed at the end.
class PrivateTempFolder {
public:
    PrivateTempFolder();
    ~PrivateTempFolder();
    PrivateTempFolder(const PrivateTempFolder&) = delete;
    PrivateTempFolder& operator=(const PrivateTempFolder&) = delete;

    const std::string& path() const { return m_path; }
    // The names of the files in the folder, sorted.
    std::vector<std::string> files() const;

private:
    std::string m_path;
    std::string m_oldValue;
    bool m_hadValue = false;
};

// A folder for fixture files (not the temporary folder), removed at the end.
class FixtureFolder {
public:
    FixtureFolder();
    ~FixtureFolder();
    std::string file(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// Three TIFF pages, LZW, 150 dpi, each with its own size, colour and description
// (ImageDescription): 20x10 red "one", 30x12 lime "two", 8x16 blue "three". Empty path on
// failure.
std::string makeThreePageTiff(const FixtureFolder& folder);
// Three 8x6 GIF frames red, lime, blue with delays 10, 0 and 20, the comment given and
// `loops` as the loop count stored in the file (1..65535). Each set of values has a file of
// its own.
std::string makeThreeFrameGif(const FixtureFolder& folder, int loops = 2,
                              const std::string& comment = "hello gif");

// Loads a file as the viewer does (pages and frames in place unless told otherwise).
int32_t loadContainerFile(ImageId& id, const std::string& path, bool inPlace = true);
// Loads a file's bytes through a stream (pages split into files).
int32_t loadContainerStream(ImageId& id, const std::string& path);

// The page's colour at (0, 0) as 0xAARRGGBB, 0 on failure.
uint32_t firstPixel(ImageId id);
// The page's width x height as "WxH".
std::string pageSize(ImageId id);
// ImageMagick's `identify -format` answer for a file.
std::string identifyFile(const std::string& format, const std::string& path);

} // namespace tavimo::testing
