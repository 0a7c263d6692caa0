// Placeholder entry point of the desktop program, so the project configures and builds
// until the real start-up (login, main window) lands.
#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setLayoutDirection(Qt::RightToLeft);
    return 0;
}
