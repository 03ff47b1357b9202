// What a run needs of the dialog that starts it. Each front end implements
// this on its own toolkit; the engine knows no window system.
#ifndef QUENBY_ENGINE_DIALOG_HOST_H_
#define QUENBY_ENGINE_DIALOG_HOST_H_

#include <cstdint>
#include <string>

namespace quenby {

// Control identifiers of the main dialog, shared by every front end.
enum ControlId {
  kIdExit = 2,
  kIdRun = 1000,
  kIdBrowse = 1001,
  kIdPathField = 1002,
  kIdNumberMode = 1003,
  kIdRestoreMode = 1004,
};

class DialogHost {
 public:
  virtual ~DialogHost() = default;

  virtual void BeginBusyCursor() = 0;
  virtual void EndBusyCursor() = 0;

  // The whole current text of control `id`, as 8-bit bytes.
  virtual std::string ControlText(int id) = 0;

  // The identifier of the checked radio button in [first, last], or 0.
  virtual int CheckedRadioButton(int first, int last) = 0;

  // A modal box owned by the dialog: OK only, no icon, the application's
  // name as caption. Returns when the user has closed it.
  virtual void ShowMessage(const std::string& text) = 0;

  // How far the run has read its playlist: `done` of its `total` bytes.
  // Called from the run's loop at most about a thousand times a run, as the
  // share read grows; the message box ends the run's progress. A front end
  // without a place to show it leaves this alone.
  virtual void ShowProgress(uint64_t done, uint64_t total) {
    (void)done;
    (void)total;
  }
};

}  // namespace quenby

#endif  // QUENBY_ENGINE_DIALOG_HOST_H_
