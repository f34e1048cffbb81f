// What the platforms' file calls share.
#include "files.h"

namespace common {

const char* folder_reason(FolderError error) {
  switch (error) {
    case FolderError::kMissingParent:
      return "a folder on the way is missing";
    case FolderError::kNotAFolder:
      return "something that is not a folder is in the way";
    case FolderError::kDenied:
      return "permission denied";
    case FolderError::kNone:
    case FolderError::kOther:
      break;
  }
  return "the system refused";
}

}  // namespace common
