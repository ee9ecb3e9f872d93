#include <filesystem>

namespace drumlo {

void AllowMakingFiles(const std::filesystem::path& folder, bool allowed) {
  namespace fs = std::filesystem;
  fs::permissions(folder, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  allowed ? fs::perm_options::add : fs::perm_options::remove);
}

}  // namespace drumlo
