// Shared set-up of the form tests: a host context per case, a recording UI, the screen made
// through the host's form factory (testsupport::ScreenTest).
#pragma once

#include "application.h"
#include "cli_vnd02500.h"
#include "corvel.h"
#include "recordingui.h"
#include "reportdefinition.h"
#include "screentest.h"

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

// No database: the screen as the host's form factory makes it, in a host context per case.
class ScreenTest : public testsupport::ScreenTest<>
{
protected:
    void SetUp() override
    {
        stFilial.clear();
        stLoja.clear();
        stCaixa.clear();
    }

    // Creates the screen (base creation and FormCreate), optionally runs the first activation.
    template <typename T = TfrmEstaticVendHora>
    T *create(bool branchBound, bool activate = true)
    {
        setContext(context(branchBound));
        T *made = createHiddenScreen<T>();
        if (made && activate)
            made->FormActivate(made);
        return made;
    }

    // Chooses a report as the user does; -1 chooses none. The change handler runs even when the
    // index does not move.
    void choose(int index)
    {
        form->cbbReportNames->setCurrentIndex(index);
        form->cbbReportNamesChange(form->cbbReportNames);
    }

    QPointer<TfrmEstaticVendHora> &form = f;
};

} // namespace formtest
