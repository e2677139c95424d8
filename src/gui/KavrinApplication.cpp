#include "KavrinApplication.h"

#include "Looks.h"
#include "ftp/FtpError.h"
#include "store/StoreError.h"
#include "text/ErrorText.h"

#include <QMessageBox>

namespace kavrin::gui {

namespace {

QString errorTypeName(const std::exception& error)
{
    if (dynamic_cast<const store::StoreError*>(&error))
        return QStringLiteral("StoreError");
    if (dynamic_cast<const ftp::FtpError*>(&error))
        return QStringLiteral("FtpError");
    return QStringLiteral("Error");
}

} // namespace

KavrinApplication::KavrinApplication(int& argc, char** argv)
    : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Kavrin"));
    setApplicationDisplayName(QString::fromUtf8(title));
    // The main window decides when the program ends: a transfer window left open must
    // not keep it alive, and closing the main window during a run must not end it early.
    setQuitOnLastWindowClosed(false);
    applyLooks(*this);
}

bool KavrinApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        showError(error);
        return false;
    }
}

void KavrinApplication::showError(const std::exception& error)
{
    QMessageBox box(QMessageBox::Critical, QString::fromUtf8(title),
        text::withFullStop(QString::fromUtf8(error.what())), QMessageBox::Ok);
    box.exec();
}

void KavrinApplication::showApplicationError(const std::exception& error)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Application Error"),
        QStringLiteral("%1: %2").arg(errorTypeName(error), QString::fromUtf8(error.what())), QMessageBox::Ok);
    box.exec();
}

} // namespace kavrin::gui
