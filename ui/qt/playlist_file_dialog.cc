#include "playlist_file_dialog.h"

#include <QDir>
#include <QFileInfo>
#include <QMessageBox>

PlaylistFileDialog::PlaylistFileDialog(QWidget* owner) : QFileDialog(owner) {
  setWindowTitle(tr("Open"));
  setAcceptMode(QFileDialog::AcceptOpen);
  // AnyFile: the run itself tells the user when the file is not there.
  setFileMode(QFileDialog::AnyFile);
  setNameFilter(QStringLiteral("MP3 Playlists (*.m3u)"));
  setDefaultSuffix(QString());
  // The desktop's own dialogs refuse a file that does not exist in an Open
  // dialog and cannot be asked to check the folder, so Qt's dialog is used.
  setOption(QFileDialog::DontUseNativeDialog);
}

void PlaylistFileDialog::accept() {
  const QStringList files = selectedFiles();
  if (files.size() == 1) {
    const QFileInfo chosen(files.first());
    if (!chosen.isDir() && !chosen.dir().exists()) {
      QMessageBox::warning(
          this, windowTitle(),
          tr("%1\nPath does not exist.\nCheck the path and try again.")
              .arg(QDir::toNativeSeparators(files.first())));
      return;
    }
  }
  QFileDialog::accept();
}
