#pragma once

#include "ftp/ConnectionProfile.h"
#include "store/Database.h"
#include "store/Query.h"

#include <QWidget>
#include <memory>

namespace Ui {
class TKavrinOsnova;
}
class ClientGridModel;

// The main window: the client book in its grid, the current client's files in the
// transfer folder, and the buttons that edit the book and start the refresh run.
class TKavrinOsnova : public QWidget
{
    Q_OBJECT
public:
    // Tests may give another profile; the program always uses the built-in one.
    explicit TKavrinOsnova(kavrin::ftp::ConnectionProfile profile = kavrin::ftp::ConnectionProfile::main(),
        QWidget* parent = nullptr);
    ~TKavrinOsnova() override;

    void showCentred();

    void AdvGlowButton2Click();
    void BazaBook();
    void AdvGlowButton1Click();
    void AdvGlowButton15Click();
    void FormCreate();
    void NapolniTabelo();
    void AdvGlowButton3Click();
    void AdvGlowButton11Click();
    void StrankeAfterScroll();

    bool isRefreshing() const { return m_refreshing; }

    kavrin::store::Database BAZA;
    kavrin::store::Query Stranke;
    kavrin::store::Query Ukaz;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void setRefreshing(bool refreshing);
    void serveClient(const QString& taxNumber);

    std::unique_ptr<Ui::TKavrinOsnova> ui;
    ClientGridModel* m_gridModel = nullptr;
    kavrin::ftp::ConnectionProfile m_profile;
    bool m_refreshing = false;
    bool m_closeRequested = false;
};
