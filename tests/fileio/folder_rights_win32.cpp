// A folder's read-only bit does not stop new files on Windows; its access list does (and Wine
// turns that list into the folder's Unix permission bits).
#include <windows.h>

#include <sddl.h>

#include <filesystem>

namespace drumlo {

void AllowMakingFiles(const std::filesystem::path& folder, bool allowed) {
  // Everyone: full access, or reading and listing only.
  const wchar_t* access_list = allowed ? L"D:P(A;;FA;;;WD)" : L"D:P(A;;FRFX;;;WD)";
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(access_list, SDDL_REVISION_1,
                                                            &descriptor, nullptr)) {
    return;
  }
  SetFileSecurityW(folder.c_str(), DACL_SECURITY_INFORMATION, descriptor);
  LocalFree(descriptor);
}

}  // namespace drumlo
