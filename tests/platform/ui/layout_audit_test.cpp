#include "platform/ui/layout_audit.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QTableWidget>
#include <gtest/gtest.h>

#include "platform/ui/window.h"

namespace tv::ui {
namespace {

bool mentions(const std::vector<QString>& faults, const char* name, const char* what) {
    for (const QString& f : faults)
        if (f.startsWith(QString::fromUtf8(name)) && f.contains(QString::fromUtf8(what))) return true;
    return false;
}

// A prompt too narrow for its text, one lying over the entry beside it and
// a check box cut short are each found; controls on other tabs, or hidden on
// purpose, are not compared with them.
TEST(LayoutAudit, FindsCutAndOverlappingPromptsOnly) {
    Window w(QStringLiteral("Audit"), QSize(400, 260));
    w.add({ControlKind::Prompt, 1, "?SHORT", QStringLiteral("&Descripción larga:"), QRect(8, 10, 30, 20)});
    w.add({ControlKind::Entry, 2, "?A", {}, QRect(120, 10, 100, 22)});
    w.add({ControlKind::Prompt, 3, "?OVER", QStringLiteral("Plazo:"), QRect(8, 40, 90, 20)});
    w.add({ControlKind::Entry, 4, "?B", {}, QRect(80, 40, 100, 22)});
    w.add({ControlKind::CheckBox, 5, "?CHECK", QStringLiteral("Incluir artículos sin existencia"), QRect(8, 70, 40, 20)});
    w.add({ControlKind::Prompt, 6, "?FINE", QStringLiteral("&Nombre:"), QRect(8, 100, 100, 20)});
    w.add({ControlKind::Entry, 7, "?C", {}, QRect(120, 100, 100, 22)});
    w.add({ControlKind::Entry, 8, "?HIDDEN", {}, QRect(8, 100, 100, 22)});
    w.at(8).setHidden(true);
    w.add({ControlKind::Sheet, 10, "?SHEET", {}, QRect(8, 130, 380, 120)});
    w.add({ControlKind::Tab, 11, "?TAB1", QStringLiteral("Uno"), {}, 10});
    w.add({ControlKind::Tab, 12, "?TAB2", QStringLiteral("Dos"), {}, 10});
    w.add({ControlKind::Prompt, 13, "?ONTAB", QStringLiteral("&Clave:"), QRect(8, 10, 80, 20), 11});
    w.add({ControlKind::Entry, 14, "?OTHERTAB", {}, QRect(8, 10, 100, 22), 12});

    const std::vector<QString> faults = layoutFaults(w);
    EXPECT_TRUE(mentions(faults, "?SHORT", "needs")) << "cut short";
    EXPECT_TRUE(mentions(faults, "?OVER", "lies over ?B"));
    EXPECT_TRUE(mentions(faults, "?CHECK", "needs"));
    EXPECT_FALSE(mentions(faults, "?FINE", "")) << "a hidden control is not in the way";
    EXPECT_FALSE(mentions(faults, "?ONTAB", "")) << "another tab's entry is not in the way";
    EXPECT_EQ(faults.size(), 3u);
}

// A list's heading row too low for its headings (a group's line over a
// column's own, or one line) is found, for each heading; the same list
// with room for its headings has no fault.
TEST(LayoutAudit, FindsAListsHeadingsCutVertically) {
    struct Case {
        int headerHeight;  // 0: as tall as it wants
        std::vector<const char*> faults;
    };
    // Opened here on purpose with faults: the tests' own audit stands aside.
    auto audit = setLayoutObserver({});
    const std::vector<Case> cases = {
        {0, {}},
        {12, {"\"Tipo / Clave\": its heading needs", "\"Fecha\": its heading needs"}},
    };
    for (const Case& c : cases) {
        Window w(QStringLiteral("Audit"), QSize(300, 160));
        w.add({ControlKind::List, 1, "?LIST", {}, QRect(8, 8, 280, 140)});
        auto* t = w.at(1).as<QTableWidget>();
        t->setColumnCount(2);
        t->setHorizontalHeaderItem(0, new QTableWidgetItem(QStringLiteral("Tipo\nClave")));
        t->setHorizontalHeaderItem(1, new QTableWidgetItem(QStringLiteral("Fecha")));
        t->setRowCount(1);
        t->setItem(0, 0, new QTableWidgetItem(QStringLiteral("7")));
        t->setItem(0, 1, new QTableWidgetItem(QStringLiteral("28/12/2024")));
        if (c.headerHeight > 0) t->horizontalHeader()->setMaximumHeight(c.headerHeight);
        w.open();
        QApplication::processEvents();
        const std::vector<QString> faults = layoutFaults(w);
        for (const char* f : c.faults) EXPECT_TRUE(mentions(faults, "?LIST", f)) << f;
        EXPECT_EQ(faults.size(), c.faults.size()) << c.headerHeight;
        w.close();
    }
    setLayoutObserver(std::move(audit));
}

// The observer sees each window as it opens and as it closes, once each.
TEST(LayoutAudit, TheObserverSeesEveryWindowAsItOpensAndCloses) {
    std::vector<QString> seen;
    auto before = setLayoutObserver([&](Window& w) { seen.push_back(w.caption()); });
    {
        Window w(QStringLiteral("Abierta"), QSize(200, 100));
        w.open();
        w.open();
        w.close();
        w.close();
    }
    setLayoutObserver(std::move(before));
    EXPECT_EQ(seen, (std::vector<QString>{QStringLiteral("Abierta"), QStringLiteral("Abierta")}));
}

}  // namespace
}  // namespace tv::ui
