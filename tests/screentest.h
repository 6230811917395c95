// The real screen Vnd02500 under test, shared by the screen suites (form, gate, periodo, lookups,
// reliability, module): made through the host's form factory with a recording user interface, on
// the shared connection the suite opens; at the end the screen is destroyed, the connection
// closed, and the reports folder and host context are put back as they were before the test.
#pragma once

#include "application.h"
#include "cli_vnd02500.h"
#include "corvel.h"
#include "datamodule.h"
#include "recordingui.h"
#include "reportdefinition.h"
#include "reportdesignerwindow.h"
#include "testsupport.h"
#include "tfrmestaticvendhora.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <gtest/gtest.h>
#include <memory>

namespace testsupport {

template <typename Ui = RecordingUi>
class ScreenTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        destroyScreen();
        scope.reset();
        TdtmDBGeral::close(); // whoever opened it
        setReportsDirectory(mPreviousReports);
        Corvel::setContext(mPreviousContext);
    }

    // The shared connection the screen works on; closed at the end.
    void openDatabase(const DatabaseConfig &config) { TdtmDBGeral::open(config); }

    // The host context of the test (the one before it comes back at the end).
    static void setContext(const HostContext &context) { Corvel::setContext(context); }

    // A Vnd025 catalogue under `folder` with the real list's titles and parameters, every report
    // running `sql` with no layout (the filters under test, not the reports); made the reports
    // folder of the test.
    void useCatalogueRunning(const QString &folder, const QString &sql)
    {
        const ReportCatalog real = ReportCatalog::load(sourcePath(QStringLiteral("reports")), QStringLiteral("Vnd025"));
        ASSERT_FALSE(real.entries().isEmpty());
        const QString code = QDir(folder).filePath(QStringLiteral("Vnd025"));
        ASSERT_TRUE(QDir().mkpath(code));
        QJsonArray index;
        for (int i = 0; i < real.entries().size(); ++i) {
            ReportDefinition def = ReportDefinition::load(real.pathOf(i));
            def.sql = {{SqlDialect::Default, sql}};
            def.layout = {};
            const QString file = QStringLiteral("r%1.json").arg(i);
            ASSERT_NO_THROW(saveDefinition(def, QDir(code).filePath(file)));
            index.append(QJsonObject{{QStringLiteral("title"), def.title}, {QStringLiteral("file"), file}});
        }
        QFile indexFile(QDir(code).filePath(QStringLiteral("index.json")));
        const QByteArray json = QJsonDocument(QJsonObject{{QStringLiteral("reports"), index}}).toJson();
        ASSERT_TRUE(indexFile.open(QIODevice::WriteOnly) && indexFile.write(json) == json.size());
        indexFile.close();
        setReportsDirectory(folder);
    }

    // Creates the screen through the form factory, shown and active (focus moves are real). What
    // the creation showed is cleared unless asked to keep it.
    void createScreen(bool clearMessages = true)
    {
        createHiddenScreen();
        ASSERT_FALSE(f.isNull());
        f->Show();
        activate(f);
        flushDeletes();
        if (clearMessages)
            ui.clear();
    }

    // Creates the screen through the form factory and leaves it to the test to show.
    template <typename T = TfrmEstaticVendHora>
    T *createHiddenScreen()
    {
        QPointer<T> made;
        Application()->CreateForm(made);
        f = made.data();
        EXPECT_FALSE(made.isNull());
        return made.data();
    }

    void destroyScreen()
    {
        if (f) {
            f->hide();
            delete f.data();
        }
        flushDeletes();
    }

    // Chooses a report by its position, as the user does in the list.
    void choose(int index)
    {
        f->cbbReportNames->setCurrentIndex(index);
        QCoreApplication::processEvents();
    }

    // Every filter valid for report `index`: branch 0001, 01/12/2026 to 07/12/2026, no hours or
    // interval, products 0101001 to 0101002; what it showed is cleared.
    void fillValid(int index)
    {
        choose(index);
        f->edtFilial->setText(QStringLiteral("0001"));
        f->depDtHrIni->SetText(QStringLiteral("01/12/2026"));
        f->depDtHrFin->SetText(QStringLiteral("07/12/2026"));
        f->medHoraIni->SetText(QString());
        f->medHoraFin->SetText(QString());
        f->medHoras->SetText(QString());
        f->medDe->SetText(QStringLiteral("0101001"));
        f->medAte->SetText(QStringLiteral("0101002"));
        ui.clear();
    }

    enum class Action { Preview, Print, SaveAs, Edit };
    void click(Action action)
    {
        TSpeedButton *buttons[] = {f->sbtPreview, f->sbtPrint, f->sbtSalvarComo, f->sbtReportEdit};
        buttons[int(action)]->click();
        flushDeletes();
    }

    // Everything the user was shown since the last clear, messages and unhandled errors.
    QStringList shown() const { return ui.messages + ui.errors; }

    Ui ui;
    std::unique_ptr<ScopedUi> scope = std::make_unique<ScopedUi>(ui);
    QPointer<TfrmEstaticVendHora> f;

private:
    // Whatever a test changes of these, directly or not, comes back at the end.
    QString mPreviousReports = reportsDirectory();
    HostContext mPreviousContext = Corvel::context();
};

} // namespace testsupport
