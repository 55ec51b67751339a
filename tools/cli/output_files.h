// The files a run will write, checked before anything is done: each must be
// possible to write (with the system's reason when not), none may be an input
// or another output (the same file by device and inode, whatever the names),
// and an existing file is replaced only when the user says so.
#pragma once

#include <string>
#include <vector>

namespace vesk::cli {

// What happens to an output file that exists already.
enum class Overwrite { kAsk, kAlways, kNever };

// `outputs` are the paths given for output files, `inputs` the files read
// (a live recorder has none). kAsk asks on a terminal, naming `program`, and
// refuses otherwise. False with a one-line reason naming the file.
bool CheckOutputFiles(const std::vector<std::string>& outputs, const std::vector<std::string>& inputs,
                      Overwrite overwrite, const char* program, std::string* error);

}  // namespace vesk::cli
