#pragma once
// The checks made before a run, shared by the main window and the
// command-line tool, so both refuse exactly the same jobs.

#include <functional>
#include <string>

#include "ConversionJob.h"

struct JobCheckResult {
    bool ok = false;
    // The refusal, worded for the user; empty when ok.
    std::string message;
    // The destination the run will write: in single mode the destination
    // image with the ".tif" extension, in folder mode the folder unchanged.
    std::string destination;
};

// How a path is to appear in a refusal; unchanged when empty.
using PathDisplay = std::function<std::string(const std::string&)>;

// The job's four names must be given (the source profile not, when each
// image's embedded profile serves), a single image must not be written into
// a folder, and the destination must not be the source.
JobCheckResult CheckJob(const JobSpec& job, const PathDisplay& displayPath = {});

// The destination image name with ".tif" in place of the extension of its
// last path component: out.jpeg -> out.tif, OUT.TIF -> OUT.tif, .tif -> .tif.tif.
std::string WithTifExtension(const std::string& path);
