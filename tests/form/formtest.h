// Shared set-up of the screen tests: a host context per case, a recording UI, the screen made
// through the host's form factory.
#pragma once

#include "application.h"
#include "cli_vnd02500.h"
#include "corvel.h"
#include "recordingui.h"
#include "reportdefinition.h"

#include <QCoreApplication>
#include <QPointer>
#include <gtest/gtest.h>
#include <optional>

// Reaches the screen's remembered branch, which only a passing branch validation writes.
class TfrmEstaticVendHoraProbe
{
public:
    static void seedLastFilial(TfrmEstaticVendHora &f, const QString &code, const QString &name)
    {
        f.lastFilialCode = code;
        f.lastFilialName = name;
    }
};

namespace formtest {

inline HostContext context(bool branchBound)
{
    HostContext c;
    c.moduFili = branchBound;
    c.filiProc = QStringLiteral("0042");
    c.nomeFiliProc = QStringLiteral("Filial Quarenta e Dois");
    c.dbPictArvProd = QStringLiteral("99.999;0;_");
    return c;
}

class ScreenTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        mSavedContext = Corvel::context();
        mSavedReports = reportsDirectory();
        stFilial.clear();
        stLoja.clear();
        stCaixa.clear();
    }

    void TearDown() override
    {
        if (form)
            delete form.data();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        Corvel::setContext(mSavedContext);
        setReportsDirectory(mSavedReports);
    }

    // Creates the screen (base creation and FormCreate), optionally runs the first activation.
    template <typename T = TfrmEstaticVendHora>
    T *create(bool branchBound, bool activate = true)
    {
        Corvel::setContext(context(branchBound));
        QPointer<T> made;
        Application()->CreateForm(made);
        form = made.data();
        if (activate)
            made->FormActivate(made);
        return made.data();
    }

    // Chooses a report as the user does; -1 chooses none. The change handler runs even when the
    // index does not move.
    void choose(int index)
    {
        form->cbbReportNames->setCurrentIndex(index);
        form->cbbReportNamesChange(form->cbbReportNames);
    }

    RecordingUi ui;
    ScopedUi scope{ui};
    QPointer<TfrmEstaticVendHora> form;

private:
    HostContext mSavedContext;
    QString mSavedReports;
};

} // namespace formtest
