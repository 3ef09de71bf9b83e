// COMDLGER: error texts of the file dialogs.
#include "shell/COMDLGER.h"

namespace velmora {

std::string comdlgerText(int code) {
  switch (code) {
    case 0: return {};
    case 1: return "The lStructSize member of a structure for the corresponding common dialog box is invalid.";
    case 2:
      return "The common dialog box procedure failed during initialization. This error often occurs when "
             "insufficient memory is available.";
    case 3:
      return "The ENABLETEMPLATE flag was specified in the Flags member of a structure for the corresponding "
             "common dialog box, but the application failed to provide a corresponding template.";
    case 4:
      return "The ENABLETEMPLATE flag was specified in the Flags member of a structure for the corresponding "
             "common dialog box, but the application failed to provide a corresponding instance handle.";
    case 5: return "The common dialog box procedure failed to load a specified string.";
    case 6: return "The common dialog box procedure failed to find a specified resource.";
    case 7: return "The common dialog box procedure failed to load a specified resource.";
    case 8: return "The common dialog box procedure failed to lock a specified resource.";
    case 9: return "The common dialog box procedure was unable to allocate memory for internal structures.";
    case 10: return "The common dialog box procedure was unable to lock the memory associated with a handle.";
    case 11:
      return "The ENABLEHOOK flag was specified in the Flags member of a structure for the corresponding common "
             "dialog box, but the application failed to provide a pointer to a corresponding hook function";
    case 12289: return "An attempt to subclass a list box failed because insufficient memory was available.";
    case 12290: return "A filename is invalid.";
    case 12291:
      return "The buffer for a filename is too small. (This buffer is pointed to by the lpstrFile member of the "
             "structure for a common dialog box.)";
    default: return "Unknown error number";
  }
}

}  // namespace velmora
