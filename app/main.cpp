// Program entry: the application object, the main window (which loads the
// template while it is created), the two secondary windows, the event loop.

#ifdef _WIN32
#include "app/UserFolder.h"
#endif
#include "link/DeviceLink.h"
#include "ui/ErrorReportingApplication.h"
#include "ui/QtMainThreadWaker.h"
#include "ui/QtTranslations.h"
#include "ui/SessionEndWatch.h"
#include "ui/UHilfe.h"
#include "ui/ULK24.h"
#include "ui/Uinfo.h"

#include <QIcon>

#include <cstring>

int main(int argc, char** argv) {
#ifdef _WIN32
  // Before anything looks at the current directory: LK24.ini is read there.
  if (argc > 1 && std::strcmp(argv[1], lk24::kUserFolderArgument) == 0) lk24::EnterUserFolder();
#endif
  lk24::ErrorReportingApplication app(argc, argv);
  // The serial port hands its events to this thread through the event loop.
  lk24::InstallQtMainThreadWaker();
  // The name the desktop shows for the program; unlike a display name it is
  // not appended to the window's caption.
  QApplication::setApplicationName(QStringLiteral("LK24 -config-"));
  // Ties the window to the installed menu entry, so that docks and task bars
  // show its name and icon; run from a build tree there is no such icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("com.example.lk24"));
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("com.example.lk24")));
  lk24::InstallGermanQtTranslations(app);
  lk24::InstallStandardErrorBox();

  lk24::TForm1 form;
  auto* info = new lk24::TFinfo(&form);
  auto* help = new lk24::TFhilfe(&form);
  form.setSecondaryWindows(info, help);

  // Logout, shutdown or a closed terminal closes the window like its close
  // box: a running transfer ends first, then LK24.ini is written.
  lk24::SessionEndWatch sessionEnd([&form] { form.sessionEnded(); },
                                   [&form] { return form.link().transferRunning(); });

  form.show();
  return app.exec();
}
