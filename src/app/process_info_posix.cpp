// Process information on Linux: the executable from /proc/self/exe, the arguments as main()
// received them (the shell has split them already).
#include <unistd.h>

#include <span>

#include "app/process_info.h"
#include "fileio/utf8.h"

namespace drumlo {
namespace {

Text FromUtf8(const std::string& bytes) {
  return DecodeUtf8(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

// readlink gives no length up front: grow the buffer until the link fits.
std::string ReadSelfExe() {
  std::string path(256, '\0');
  for (;;) {
    const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
    if (length < 0) return std::string();
    if (static_cast<std::size_t>(length) < path.size()) {
      path.resize(static_cast<std::size_t>(length));
      return path;
    }
    path.resize(path.size() * 2);
  }
}

}  // namespace

ProcessInfo QueryProcessInfo(const std::vector<std::string>& posix_args) {
  ProcessInfo info;
  std::string exe = ReadSelfExe();
  // Without /proc, the program as started is the best path there is.
  if (exe.empty() && !posix_args.empty()) exe = posix_args.front();
  info.exe_path = FromUtf8(exe);
  info.dir_separator = u'/';
  for (const std::string& arg : posix_args)
    info.args.push_back(FromUtf8(arg));
  for (std::size_t i = 1; i < info.args.size(); ++i) {
    if (i > 1) info.argument_text += u' ';
    info.argument_text += info.args[i];
  }
  return info;
}

}  // namespace drumlo
