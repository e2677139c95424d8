#pragma once

#include "ftp/ConnectionProfile.h"
#include "ftp/FtpClient.h"
#include "store/Query.h"

#include <QHash>
#include <QPointer>
#include <QWidget>
#include <memory>

namespace Ui {
class TPrenosNaFTP;
}

// The transfer window: one FTP connection for the work of one client, with its status
// text and progress bar. It frees itself after closing, but never while one of its own
// operations or a holder (the refresh run) still uses it.
class TPrenosNaFTP : public QWidget
{
    Q_OBJECT
public:
    // Keeps the window from being freed while it is in use; the window may still close.
    class Hold
    {
    public:
        explicit Hold(TPrenosNaFTP* window);
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;
        ~Hold();

    private:
        QPointer<TPrenosNaFTP> m_window;
    };

    explicit TPrenosNaFTP(kavrin::ftp::ConnectionProfile main = kavrin::ftp::ConnectionProfile::main(),
        kavrin::ftp::ConnectionProfile second = kavrin::ftp::ConnectionProfile::second(), QWidget* parent = nullptr);
    ~TPrenosNaFTP() override;

    // The newest transfer window of the refresh run; empty once that window is freed.
    static QPointer<TPrenosNaFTP>& current();

    Hold hold() { return Hold(this); }
    // Closed: from here on nothing may use the window's list or connection.
    bool isReleased() const { return m_released; }

    bool VzpostaviPovezavo(const QString& folder);
    bool VzpostaviPovezavoMerilux(const QString& first, const QString& second, const QString& third);
    void PrekiniPovezavo();
    void ListaDatotekNaFtp(const QString& taxNumber);
    bool PotegniDatoteko(const QString& name, const QString& localFolder, const QString& remoteFolder);
    bool SkopirajDatoteko(const QString& localPath, const QString& remoteFolder);
    void PreimenujDatoteko(const QString& name, const QString& remoteFolder);

    void AdvGlowButton1Click();
    void IdFTP1Work(kavrin::ftp::FtpClient::WorkMode mode, qint64 count);
    void FormCreate();

    // The server's own bytes for a name of the scratch list.
    QByteArray remoteName(const QString& name) const;

    kavrin::store::Query Fajli;
    kavrin::ftp::FtpClient IdFTP1;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FormClose();
    bool connectWith(const kavrin::ftp::ConnectionProfile& profile, const QList<QByteArray>& folders);
    void setProgressMaximum(qint64 maximum);
    void addHold() { ++m_holds; }
    void dropHold();

    std::unique_ptr<Ui::TPrenosNaFTP> ui;
    kavrin::ftp::ConnectionProfile m_mainProfile;
    kavrin::ftp::ConnectionProfile m_secondProfile;
    QHash<QString, QByteArray> m_remoteNames;
    int m_progressShift = 0; // the bar counts in int: large sizes are scaled down
    int m_holds = 0;
    bool m_released = false;
};
