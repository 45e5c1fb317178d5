#include "core/ListReconciler.h"

#include <QApplication>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

QStringList split(const char* ids) {
    return QString::fromLatin1(ids).split(u' ', Qt::SkipEmptyParts);
}

// Items are serial numbers, so a test sees which item an id kept; every hook call is logged.
struct Logged {
    int made = 0;
    QStringList log;
    ListReconciler<int> list{{
        .make =
            [this](const QString& id, qsizetype at) {
                log.append(u"make %1@%2"_s.arg(id).arg(at));
                return ++made;
            },
        .update = {},
        .place = [this](int& item, qsizetype at) { log.append(u"place #%1@%2"_s.arg(item).arg(at)); },
        .discard = [this](int& item) { log.append(u"discard #%1"_s.arg(item)); },
    }};
    QStringList ids() const {
        QStringList out;
        for (const auto& [id, item] : list.items())
            out.append(id);
        return out;
    }
};

TEST(ListReconciler, KeepsTheItemsOfIdsThatStayAndTouchesOnlyWhatChanged) {
    struct Case {
        const char* what;
        const char* before;
        const char* after;
        QStringList log; // hook calls of the second reconcile
    };
    const Case cases[] = {
        {"same ids", "a b c", "a b c", {}},
        {"insert in the middle", "a b c", "a x b c", {u"make x@1"_s}},
        {"remove", "a b c", "a c", {u"discard #2"_s}},
        {"swap", "a b c", "a c b", {u"place #3@1"_s}},
        {"last to first", "a b c", "c a b", {u"place #3@0"_s}},
        {"reverse", "a b c", "c b a", {u"place #3@0"_s, u"place #2@1"_s}},
        {"all new", "a b", "x", {u"discard #2"_s, u"discard #1"_s, u"make x@0"_s}},
        {"to nothing", "a b", "", {u"discard #2"_s, u"discard #1"_s}},
        {"a repeated id counts once", "a", "b a b", {u"make b@0"_s}},
        {"mixed", "a b c d", "d x b", {u"discard #3"_s, u"discard #1"_s, u"place #4@0"_s, u"make x@1"_s}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Logged logged;
        logged.list.reconcile(split(c.before));
        logged.log.clear();
        logged.list.reconcile(split(c.after));
        EXPECT_EQ(logged.log, c.log);
        QStringList expected;
        for (const QString& id : split(c.after))
            if (!expected.contains(id))
                expected.append(id);
        EXPECT_EQ(logged.ids(), expected);
    }
}

TEST(ListReconciler, ItemsThatStayKeepTheirIdentity) {
    Logged logged;
    logged.list.reconcile(split("a b c"));
    logged.list.reconcile(split("c d a"));
    ASSERT_NE(logged.list.find(u"a"_s), nullptr);
    EXPECT_EQ(*logged.list.find(u"a"_s), 1);
    EXPECT_EQ(*logged.list.find(u"c"_s), 3);
    EXPECT_EQ(*logged.list.find(u"d"_s), 4);
    EXPECT_EQ(logged.list.find(u"b"_s), nullptr);
}

// The use it is made for: rows of a layout follow the ids, and a row that stays is the same
// widget, with its focus, however the rows around it change.
TEST(ListReconciler, RowsOfALayoutFollowTheIdsAndKeepTheirFocus) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    int updates = 0;
    ListReconciler<QLabel*> rows({
        .make =
            [&](const QString& id, qsizetype at) {
                auto* row = new QLabel(id);
                row->setFocusPolicy(Qt::StrongFocus);
                layout->insertWidget(int(at), row);
                return row;
            },
        .update = [&](QLabel*&, qsizetype) { ++updates; },
        .place =
            [&](QLabel*& row, qsizetype at) {
                layout->removeWidget(row);
                layout->insertWidget(int(at), row);
            },
        .discard = [](QLabel*& row) { delete row; },
    });
    rows.reconcile(split("kitchen bath hall"));
    window.show();
    QLabel* bath = *rows.find(u"bath"_s);
    bath->setFocus();
    QApplication::processEvents();
    ASSERT_TRUE(bath->hasFocus());

    rows.reconcile(split("hall office bath"));
    EXPECT_EQ(*rows.find(u"bath"_s), bath);
    EXPECT_TRUE(bath->hasFocus());
    EXPECT_EQ(updates, 2);
    QStringList shown;
    for (int i = 0; i < layout->count(); ++i)
        shown.append(qobject_cast<QLabel*>(layout->itemAt(i)->widget())->text());
    EXPECT_EQ(shown, split("hall office bath"));
    EXPECT_EQ(window.findChildren<QLabel*>().size(), 3);
}

} // namespace
