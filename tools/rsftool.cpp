// rsftool: makes, lists and unpacks resource packs.
//
//   rsftool create OUT.rsf FILE...        pack the files, named by their base names
//   rsftool list PACK                     one line per entry: name, offset, size
//   rsftool extract PACK [NAME...] [-o DIR]
//                                         write entries (all, or the named ones) to DIR
//
// Entry sizes come from the lengths our packer records. Packs from other
// tools may not record them; in those an entry is taken to run to the next
// entry's start, or to the end of the file.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "formats/pack.h"

namespace {

namespace fs = std::filesystem;

const char USAGE[] =
    "usage: rsftool create OUT.rsf FILE...\n"
    "       rsftool list PACK\n"
    "       rsftool extract PACK [NAME...] [-o DIR]\n"
    "\n"
    "create   packs the files in the order given; each entry is named by the\n"
    "         file's base name, which must be 1 to 15 characters and unique\n"
    "         (letter case aside)\n"
    "list     prints each entry's name, offset and size in bytes\n"
    "extract  writes every entry, or only the named ones, into DIR (default:\n"
    "         the current directory)\n";

int Fail(const std::string& message) {
  std::fprintf(stderr, "rsftool: %s\n", message.c_str());
  return 1;
}

bool EqualNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
    char y = b[i] >= 'A' && b[i] <= 'Z' ? static_cast<char>(b[i] - 'A' + 'a') : b[i];
    if (x != y) return false;
  }
  return true;
}

std::string EntryName(const PackEntry& entry) {
  return std::string(entry.name, strnlen(entry.name, PACK_NAME_SIZE));
}

// Whether the pack's length words are ours: our packer lays the entries
// back to back after the directory, so their lengths add up to the rest of
// the file. Then a recorded 0 is a real empty entry.
bool LengthsRecorded(const ResourcePack* pack) {
  int64_t total = 0;
  for (int32_t i = 0; i < pack->entryCount; ++i) {
    const PackEntry& entry = pack->entries[i];
    if (entry.offset < 0 || entry.offset + int64_t{entry.auxB} > pack->fileSize) return false;
    total += entry.auxB;
  }
  return total == pack->fileSize - (PACK_HEADER_SIZE + int64_t{pack->entryCount} * PACK_ENTRY_SIZE);
}

// The entry's size as recorded, else up to the next entry's start or the end
// of the file; -1 for an entry outside the file.
int64_t EntrySize(const ResourcePack* pack, int32_t index, bool recorded) {
  const PackEntry& entry = pack->entries[index];
  if (entry.offset < 0 || entry.offset > pack->fileSize) return -1;
  if (recorded) return entry.auxB;
  int64_t end = pack->fileSize;
  for (int32_t i = 0; i < pack->entryCount; ++i) {
    int64_t start = pack->entries[i].offset;
    if (start > entry.offset && start < end) end = start;
  }
  return end - entry.offset;
}

std::string OpenError(const char* path, int status) {
  std::string text = std::string("cannot read pack ") + path + ": ";
  switch (status) {
    case PACK_NO_FILE:
      return text + std::strerror(errno);
    case PACK_BAD_MAGIC:
      return text + "not a resource pack";
    case PACK_TRUNCATED:
      return text + "the file ends inside its directory";
    default:
      return text + "bad directory";
  }
}

int Create(const std::vector<std::string>& args) {
  if (args.size() < 2) return Fail("create needs an output file and at least one input file");
  const std::string& output = args[0];
  std::vector<std::string> names;
  std::vector<std::vector<char>> contents;
  for (size_t i = 1; i < args.size(); ++i) {
    std::string name = fs::path(args[i]).filename().string();
    if (!IsValidPackName(name.c_str()) || name.size() != std::strlen(name.c_str())) {
      return Fail("entry name \"" + name + "\" (from " + args[i] + ") must be 1 to 15 characters");
    }
    for (const std::string& earlier : names) {
      if (EqualNoCase(earlier, name)) return Fail("two inputs would both be named \"" + name + "\"");
    }
    std::ifstream in(args[i], std::ios::binary);
    if (!in) return Fail("cannot read " + args[i] + ": " + std::strerror(errno));
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return Fail("cannot read " + args[i]);
    if (bytes.size() > 0x7FFFFFFF) return Fail(args[i] + " is too large for a pack");
    names.push_back(name);
    contents.push_back(std::move(bytes));
  }
  if (names.size() > static_cast<size_t>(PACK_MAX_ENTRIES)) return Fail("too many files for one pack");
  std::vector<PackSource> sources;
  for (size_t i = 0; i < names.size(); ++i) {
    sources.push_back({names[i].c_str(), contents[i].data(), static_cast<uint32_t>(contents[i].size())});
  }
  switch (WriteResourcePack(output.c_str(), sources.data(), static_cast<int32_t>(sources.size()))) {
    case PACK_WRITE_OK:
      return 0;
    case PACK_WRITE_NO_FILE:
      return Fail("cannot create " + output + ": " + std::strerror(errno));
    case PACK_WRITE_TOO_BIG:
      return Fail("the files are too large for one pack");
    case PACK_WRITE_FAILED:
      return Fail("writing " + output + " failed");
    default:
      return Fail("bad input for " + output);
  }
}

int List(const std::vector<std::string>& args) {
  if (args.size() != 1) return Fail("list needs exactly one pack");
  ResourcePack* pack = nullptr;
  int status = OpenResourcePack(args[0].c_str(), &pack);
  if (status != PACK_OK) {
    std::string error = OpenError(args[0].c_str(), status);
    DestroyResourcePack(pack);
    return Fail(error);
  }
  bool recorded = LengthsRecorded(pack);
  for (int32_t i = 0; i < pack->entryCount; ++i) {
    int64_t size = EntrySize(pack, i, recorded);
    if (size < 0) {
      std::printf("%-15s %10d  (outside the file)\n", EntryName(pack->entries[i]).c_str(),
                  pack->entries[i].offset);
    } else {
      std::printf("%-15s %10d %10lld\n", EntryName(pack->entries[i]).c_str(), pack->entries[i].offset,
                  static_cast<long long>(size));
    }
  }
  DestroyResourcePack(pack);
  return 0;
}

// Writes entry `index` to `directory`; an empty string on success.
std::string ExtractOne(ResourcePack* pack, int32_t index, const fs::path& directory) {
  std::string name = EntryName(pack->entries[index]);
  // Names come from the file: never let one climb out of the directory.
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos ||
      name.find('\\') != std::string::npos) {
    return "entry " + std::to_string(index) + " has a name that cannot be a file name";
  }
  int64_t size = EntrySize(pack, index, LengthsRecorded(pack));
  if (size < 0) return "entry \"" + name + "\" lies outside the file";
  PackEntryHandle handle = {index, pack->entries[index].auxA, pack->entries[index].auxC,
                            pack->entries[index].offset, pack->entries[index].offset};
  std::vector<char> bytes(static_cast<size_t>(size));
  if (size > 0 && ReadEntry(pack, bytes.data(), bytes.size(), 1, &handle) != 1) {
    return "cannot read entry \"" + name + "\"";
  }
  fs::path target = directory / name;
  std::ofstream out(target, std::ios::binary);
  if (!out) return "cannot create " + target.string() + ": " + std::strerror(errno);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) return "writing " + target.string() + " failed";
  return "";
}

int Extract(const std::vector<std::string>& args) {
  std::string packPath;
  std::vector<std::string> wanted;
  fs::path directory = ".";
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "-o") {
      if (i + 1 == args.size()) return Fail("-o needs a directory");
      directory = args[++i];
    } else if (packPath.empty()) {
      packPath = args[i];
    } else {
      wanted.push_back(args[i]);
    }
  }
  if (packPath.empty()) return Fail("extract needs a pack");
  std::error_code error;
  fs::create_directories(directory, error);
  if (!fs::is_directory(directory)) return Fail("cannot make directory " + directory.string());

  ResourcePack* pack = nullptr;
  int status = OpenResourcePack(packPath.c_str(), &pack);
  if (status != PACK_OK) {
    std::string message = OpenError(packPath.c_str(), status);
    DestroyResourcePack(pack);
    return Fail(message);
  }
  int result = 0;
  if (wanted.empty()) {
    for (int32_t i = 0; i < pack->entryCount && result == 0; ++i) {
      std::string problem = ExtractOne(pack, i, directory);
      if (!problem.empty()) result = Fail(problem);
    }
  } else {
    for (const std::string& name : wanted) {
      // The same lookup the program makes, so the entry found is the one it reads.
      PackEntryHandle* handle = OpenEntry(pack, name.c_str(), "rb");
      if (handle == nullptr) {
        result = Fail("no entry \"" + name + "\" in " + packPath);
        break;
      }
      int32_t index = handle->entryIndex;
      CloseEntry(pack, handle);
      std::string problem = ExtractOne(pack, index, directory);
      if (!problem.empty()) {
        result = Fail(problem);
        break;
      }
    }
  }
  DestroyResourcePack(pack);
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    std::fputs(USAGE, stderr);
    return 2;
  }
  if (args[0] == "--help" || args[0] == "-h") {
    std::fputs(USAGE, stdout);
    return 0;
  }
  std::string command = args[0];
  args.erase(args.begin());
  if (command == "create") return Create(args);
  if (command == "list") return List(args);
  if (command == "extract") return Extract(args);
  std::fprintf(stderr, "rsftool: unknown command \"%s\"\n\n%s", command.c_str(), USAGE);
  return 2;
}
