// tools/check-rooms.sh on a host of a few files beside a copy of the module: the module's names it
// reads from the module's own files, the two uses the host owns, and the includes that point up.

#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

struct HostFile
{
    QString path; // under host/
    QByteArray text;
};

struct Check
{
    int status = -1;
    QString output;
};

// The module's folders copied as they are, `widget` added to its form, `files` as the whole host.
Check checkRooms(const QList<HostFile> &files, const QByteArray &widget)
{
    QTemporaryDir tree;
    const QString root = tree.path();
    QStringList copy{u"-r"_s};
    for (const char *folder : {"form", "module", "report_params", "lookups", "reports", "tools"})
        copy << testsupport::sourcePath(QString::fromLatin1(folder));
    if (QProcess::execute(u"cp"_s, copy << root) != 0)
        return {};
    for (const char *room : {"data", "toolkit", "report", "shell", "script"})
        QDir(root).mkpath(u"host/"_s + QLatin1String(room));
    for (const HostFile &file : files) {
        QFile out(root + u"/host/"_s + file.path);
        if (!out.open(QIODevice::WriteOnly))
            return {};
        out.write(file.text);
    }
    if (!widget.isEmpty()) {
        QFile ui(root + u"/form/tfrmestaticvendhora.ui"_s);
        if (!ui.open(QIODevice::ReadOnly))
            return {};
        QByteArray text = ui.readAll();
        ui.close();
        text.replace("<customwidgets>", widget + "\n <customwidgets>");
        if (!ui.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return {};
        ui.write(text);
    }
    QProcess script;
    script.setProcessChannelMode(QProcess::MergedChannels);
    script.start(u"bash"_s, {root + u"/tools/check-rooms.sh"_s});
    if (!script.waitForFinished(60000))
        return {};
    return {script.exitCode(), QString::fromUtf8(script.readAll())};
}

TEST(CheckRooms, FailsOnANameOfTheModuleInTheHostAndOnAnIncludeThatPointsUp)
{
    const QString clean =
        u"check-rooms: every host include points down, and the host names no module's control, parameter or table\n"_s;
    struct Case
    {
        const char *label;
        QList<HostFile> files;
        QByteArray widget; // added to the module's form
        QStringList said;  // lines of the output; the clean line when the check passes
    };
    const Case cases[] = {
        {"a host that names nothing of the module", {{u"shell/a.cpp"_s, "int a;\n"}}, {}, {clean}},
        {"a control of the form",
         {{u"toolkit/t.cpp"_s, "// x\nauto n = u\"edtFilial\"_s;\n"}},
         {},
         {u"host/toolkit/t.cpp:2 names edtFilial, of the module\n"_s}},
        {"a control added to the form",
         {{u"script/s.cpp"_s, "auto n = \"edtNovoCampo\";\n"}},
         "  <widget class=\"QLineEdit\" name=\"edtNovoCampo\"/>",
         {u"host/script/s.cpp:1 names edtNovoCampo, of the module\n"_s}},
        {"the form's root is the base screen's group box",
         {{u"shell/base.cpp"_s, "grbDadosRel = nullptr;\n"}},
         {},
         {clean}},
        {"a parameter of a report definition",
         {{u"report/r.cpp"_s, "find(\"P_DTVENDAINI\");\n"}},
         {},
         {u"host/report/r.cpp:1 names P_DTVENDAINI, of the module\n"_s}},
        {"a table the module's statements read",
         {{u"data/d.cpp"_s, "\"SELECT * FROM LOJA\";\n"}},
         {},
         {u"host/data/d.cpp:1 names LOJA, of the module\n"_s}},
        {"a column is not its table", {{u"data/d.cpp"_s, "// NMLOJA, CDFILIAL\n"}}, {}, {clean}},
        {"the product search's tables",
         {{u"shell/lib00210.cpp"_s, "FROM PRODUTO P, ITVENDA I\n"}},
         {},
         {clean}},
        {"another table in the product search",
         {{u"shell/lib00210.h"_s, "FROM VENDA\n"}},
         {},
         {u"host/shell/lib00210.h:1 names VENDA, of the module\n"_s}},
        {"the code mask's PRODUTO in the session, not ITVENDA",
         {{u"shell/hostsession.cpp"_s, "FROM PRODUTO, ITVENDA\n"}},
         {},
         {u"host/shell/hostsession.cpp:1 names ITVENDA, of the module\n"_s,
          u"check-rooms: 1 name(s) of a module in the host\n"_s}},
        {"an include that points up",
         {{u"shell/s.h"_s, "#pragma once\n"}, {u"data/d.h"_s, "#include \"s.h\"\n"}},
         {},
         {u"host/data/d.h includes s.h, a header of host/shell; host/data may use: data\n"_s}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        const Check check = checkRooms(c.files, c.widget);
        EXPECT_EQ(check.status, c.said == QStringList{clean} ? 0 : 1) << check.output.toStdString();
        for (const QString &line : c.said)
            EXPECT_TRUE(check.output.contains(line)) << line.toStdString() << check.output.toStdString();
    }
}

} // namespace
