#pragma once
// The checks made before a run, shared by the main window and the
// command-line tool, so both refuse exactly the same jobs.

#include <string>

struct JobCheckResult {
    bool ok = false;
    // The refusal, worded for the user; empty when ok.
    std::string message;
    // The destination the run will write: in single mode the destination
    // image with the ".tif" extension, in folder mode the folder unchanged.
    std::string destination;
};

JobCheckResult CheckJob(const std::string& sourceImage, const std::string& sourceProfile,
                        const std::string& destImage, const std::string& destProfile,
                        bool multipleFiles);

// The destination image name with ".tif" in place of the extension of its
// last path component: out.jpeg -> out.tif, OUT.TIF -> OUT.tif, .tif -> .tif.tif.
std::string WithTifExtension(const std::string& path);

// True when the two paths name the same file or folder: the same text, the
// same device and inode, or the same resolved path when one does not exist.
bool IsSamePath(const std::string& a, const std::string& b);
