#pragma once

// Shared set-up of the lookup tests: one small database per engine with the edge cases the
// lookups must tell apart, and the real screen on the host's shared connection.

#include "datamodule.h"
#include "odbcserver.h"
#include "recordingui.h"
#include "screentest.h"
#include "testsupport.h" // also prints texts readably in failures
#include "tfrmestaticvendhora.h"
#include "uiservices.h"

#include <QCoreApplication>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>

// Reads the remembered branch, which the screen keeps to itself.
class TfrmEstaticVendHoraProbe
{
public:
    static QString lastCode(const TfrmEstaticVendHora &f) { return f.lastFilialCode; }
    static QString lastName(const TfrmEstaticVendHora &f) { return f.lastFilialName; }
};

namespace lookups {

// Records also the text a picker shows for an empty list.
class LookupUi : public RecordingUi
{
public:
    std::optional<QStringList> pickList(QWidget *parent, const QString &title, const QString &emptyText,
                                        TDataSet &data, const QString &keyField) override
    {
        emptyTexts << emptyText;
        return RecordingUi::pickList(parent, title, emptyText, data, keyField);
    }
    QStringList emptyTexts;
};

// The ODBC engines need the test data sources (ODBCINI from tools/odbc-test-server.sh): PostgreSQL
// through odbc-postgresql, SQLite through libsqliteodbc.
using testsupport::Engine;
using testsupport::engineName;

// Opens the engine's test database as the shared connection, building it on first use. Answers an
// empty text on success, else why the engine is unavailable.
QString openDatabase(Engine engine);

// Report positions in the list of Vnd025.
inline constexpr int kVendasPorDia = 0;
inline constexpr int kHoraProduto = 5;
inline constexpr int kConsolidado = 7;
inline constexpr int kHoraModalidade = 9;

// Runs a statement on the shared connection (fixture data changes inside a test).
void exec(const QString &sql);

// The real screen, created through the host's form factory with a recording user interface, on
// the engine's database.
class ScreenTest : public testsupport::ScreenTest<LookupUi>, public testing::WithParamInterface<Engine>
{
protected:
    void SetUp() override;

    // The engine's test database as the shared connection (see the free function).
    static QString openDatabase(Engine engine) { return lookups::openDatabase(engine); }
    // Types into a control as key presses (the key handler sees each character).
    static void typeKeys(QWidget *widget, const QString &text) { testsupport::typeKeys(widget, text); }
    // Shows and activates the screen, so that focus moves are real.
    void activate();
    static QString focusName() { return testsupport::focusName(); }

    // The last list picker or search that opened, and how many opened.
    const RecordingUi::Opened &lastOpened() const { return ui.opened.last(); }
};

} // namespace lookups
