// Temporary job files "ZEMxxxxxx.tmp": the ".tmp" extension is what makes
// ZEMPrint own and delete a job file.
#pragma once

#include <string>

namespace zemprint {

// Directory for temporary files: $TMPDIR, else the system's, else ".".
std::string temporaryDirectory();

// Creates a new empty temporary file, open for writing; returns its descriptor
// and stores its name. Throws EZEMPrint "Cannot write to temp file".
int createTemporaryFile(std::string& name);

// Writes the whole buffer to a new temporary file and returns its name.
std::string writeTemporaryFile(const void* bytes, std::size_t length);

// Whether the path's extension is ".tmp" in any case.
bool hasTmpExtension(const std::string& path);

}  // namespace zemprint
