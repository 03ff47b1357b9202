// What the program's resource file holds on its original platform: the
// application icon and the one string of the string table.
#ifndef QUENBY_UI_QT_RESOURCES_H_
#define QUENBY_UI_QT_RESOURCES_H_

#include <QIcon>
#include <QString>

constexpr int kIdAboutString = 101;  // "&About Quenby..."
constexpr int kIdOk = 1;             // The About box's OK button.

// Window-menu commands. The low four bits of a command belong to the
// window system, so the About command keeps them clear.
constexpr unsigned kIdmAboutBox = 0x0010;
constexpr unsigned kScClose = 0xF060;

// The string with identifier `id`, or empty when there is none.
QString LoadResourceString(int id);

// The application icon (resource 128), with its 32x32 and 16x16 images.
QIcon LoadAppIcon();

#endif  // QUENBY_UI_QT_RESOURCES_H_
