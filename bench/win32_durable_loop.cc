// The bound of a Windows numbering run on a stick: the numbering renames of
// a playlist, each put on the stick before the next as the program does it
// (the move written through, then the moved file and its folder flushed),
// and nothing else. make test-vm times it under Wine against the shipped
// program's run on a folder like it.
//
//   quenby_durable_loop PLAYLIST
// PLAYLIST lists paths relative to its own folder, as fat_bench writes them.
// Prints the time and how many renames failed; exits 1 when any did.
#include <windows.h>

#include <stdio.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

double Seconds() {
  LARGE_INTEGER frequency, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / frequency.QuadPart;
}

HANDLE Open(const std::string& path, DWORD flags) {
  return CreateFileA(path.c_str(), GENERIC_WRITE,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, OPEN_EXISTING, flags, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: quenby_durable_loop PLAYLIST\n");
    return 2;
  }
  std::string playlist = argv[1];
  std::string base = playlist.substr(0, playlist.find_last_of('\\') + 1);
  // Every path made before the timing starts.
  std::vector<std::string> from, to, folders;
  std::ifstream in(playlist, std::ios::binary);
  int position = 0;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    size_t name = line.find_last_of('\\') + 1;
    char number[8];
    snprintf(number, sizeof number, "%06d", ++position);
    from.push_back(base + line);
    to.push_back(base + line.substr(0, name) + number + line.substr(name));
    folders.push_back(base + line.substr(0, name));
  }

  double start = Seconds();
  int failed = 0;
  // The folder stays open while its files are renamed, as in the program.
  std::string open_folder;
  HANDLE folder = INVALID_HANDLE_VALUE;
  for (size_t i = 0; i < from.size(); ++i) {
    if (!MoveFileExA(from[i].c_str(), to[i].c_str(), MOVEFILE_WRITE_THROUGH)) {
      ++failed;
      continue;
    }
    HANDLE file = Open(to[i], 0);
    if (file != INVALID_HANDLE_VALUE) {
      FlushFileBuffers(file);
      CloseHandle(file);
    }
    if (folders[i] != open_folder) {
      if (folder != INVALID_HANDLE_VALUE) CloseHandle(folder);
      folder = Open(folders[i], FILE_FLAG_BACKUP_SEMANTICS);
      open_folder = folders[i];
    }
    FlushFileBuffers(folder);
  }
  if (folder != INVALID_HANDLE_VALUE) CloseHandle(folder);
  printf(
      "durable rename loop under Windows' calls: %zu renames, %.2f s, %d "
      "failed\n",
      from.size(), Seconds() - start, failed);
  return failed == 0 && !from.empty() ? 0 : 1;
}
