// In-memory queues: positions, insertion, deletion, stable multi-key sort,
// sorted insertion and finding.
#include <gtest/gtest.h>

#include "platform/expr/queue.h"

namespace tv::expr {
namespace {

std::vector<long long> ids(const ValueQueue& q, std::size_t column) {
    std::vector<long long> out;
    for (const auto& row : q) out.push_back(row[column].asNumber().toInt64());
    return out;
}

TEST(Queue, PositionsInsertEraseReplace) {
    ValueQueue q;
    EXPECT_TRUE(q.empty());
    EXPECT_EQ(q.append({1}), 0u);
    EXPECT_EQ(q.append({3}), 1u);
    EXPECT_EQ(q.insert(1, {2}), 1u);
    EXPECT_EQ(q.insert(0, {0}), 0u);
    EXPECT_EQ(q.insert(99, {4}), 4u);  // past the end: appended
    EXPECT_EQ(ids(q, 0), (std::vector<long long>{0, 1, 2, 3, 4}));
    EXPECT_TRUE(q.erase(0));
    EXPECT_TRUE(q.erase(3));
    EXPECT_FALSE(q.erase(3));  // nothing there any more
    EXPECT_EQ(ids(q, 0), (std::vector<long long>{1, 2, 3}));
    EXPECT_TRUE(q.replace(1, {20}));
    EXPECT_FALSE(q.replace(3, {30}));
    EXPECT_EQ(ids(q, 0), (std::vector<long long>{1, 20, 3}));
    EXPECT_THROW(q.at(3), std::out_of_range);
    q.clear();
    EXPECT_EQ(q.size(), 0u);
}

// Rows: id, brand, description. Equal keys keep their insertion order.
ValueQueue sample() {
    ValueQueue q;
    q.append({1, 7, "tuerca"});
    q.append({2, 3, "Arandela"});
    q.append({3, 7, "Tornillo"});
    q.append({4, 3, "arandela  "});
    q.append({5, 7, "ÁNGULO"});
    q.append({6, 3, "Broca"});
    return q;
}

TEST(Queue, StableSortOnSeveralKeys) {
    ValueQueue q = sample();
    q.sort({valueColumn(1)});
    EXPECT_EQ(ids(q, 0), (std::vector<long long>{2, 4, 6, 1, 3, 5}));

    q = sample();
    q.sort({valueColumn(1, true), valueColumn(2, false, true)});
    // Brand descending; within a brand the description without regard to
    // case ("TORNILLO" < "TUERCA" < "ÁNGULO" by bytes of the upper case).
    EXPECT_EQ(ids(q, 0), (std::vector<long long>{3, 1, 5, 2, 4, 6}));

    q = sample();
    q.sort({valueColumn(2)});  // case counts: upper-case letters first
    EXPECT_EQ(ids(q, 0), (std::vector<long long>{2, 6, 3, 4, 1, 5}));
}

TEST(Queue, SortByOrderText) {
    ValueQueue q = sample();
    const std::vector<std::string> columns = {"LOC:Id", "ART:Marca", "ART:Descripcion"};
    auto columnOf = [&](std::string_view name) -> std::optional<std::size_t> {
        for (std::size_t i = 0; i < columns.size(); ++i)
            if (normalizeName(columns[i]) == normalizeName(name)) return i;
        return std::nullopt;
    };
    auto order = parseOrder("art:marca, -UPPER(ART:Descripcion)");
    ASSERT_TRUE(order);
    auto keys = keysFromOrder(*order, columnOf);
    ASSERT_TRUE(keys);
    q.sort(*keys);
    // "arandela  " and "Arandela" are equal without case and trailing blanks:
    // they keep their order.
    EXPECT_EQ(ids(q, 0), (std::vector<long long>{6, 2, 4, 5, 1, 3}));
    EXPECT_FALSE(keysFromOrder(*parseOrder("ART:Nada"), columnOf));
}

TEST(Queue, SortedInsertionAndLowerBound) {
    ValueQueue q;
    std::vector<ValueQueue::SortKey> keys = {valueColumn(0)};
    for (int v : {5, 1, 3, 3, 9}) q.insertSorted(keys, {v, static_cast<int>(q.size())});
    EXPECT_EQ(ids(q, 0), (std::vector<long long>{1, 3, 3, 5, 9}));
    EXPECT_EQ(ids(q, 1), (std::vector<long long>{1, 2, 3, 0, 4}));  // equal ones after the earlier
    bool exact = false;
    EXPECT_EQ(q.lowerBound(keys, {3}, &exact), 1u);
    EXPECT_TRUE(exact);
    EXPECT_EQ(q.lowerBound(keys, {4}, &exact), 3u);
    EXPECT_FALSE(exact);
    EXPECT_EQ(q.lowerBound(keys, {10}, &exact), 5u);
    EXPECT_FALSE(exact);
}

TEST(Queue, FindFromAPosition) {
    ValueQueue q = sample();
    auto brand7 = [](const ValueRow& r) { return compareValues(r[1], Value(7)) == 0; };
    EXPECT_EQ(q.find(brand7), std::optional<std::size_t>(0));
    EXPECT_EQ(q.find(brand7, 1), std::optional<std::size_t>(2));
    EXPECT_EQ(q.find(brand7, 5), std::nullopt);
    EXPECT_EQ(q.find(brand7, 100), std::nullopt);
}

// Rows of a struct: the find window's three parallel lists kept as one.
struct FindColumn {
    std::string header, picture, field;
};

TEST(Queue, RowsOfAStruct) {
    Queue<FindColumn> q;
    q.append({"Código", "@n_4", "car:Codigo"});
    q.append({"Descripcion", "@s40", "car:Descripcion"});
    auto pos = q.find([](const FindColumn& c) { return c.header == "Descripcion"; });
    ASSERT_TRUE(pos);
    EXPECT_EQ(q[*pos].field, "car:Descripcion");
    Queue<FindColumn>::SortKey byField{
        [](const FindColumn& a, const FindColumn& b) { return a.field.compare(b.field); }, true};
    q.sort({byField});
    EXPECT_EQ(q[0].field, "car:Descripcion");
}

}  // namespace
}  // namespace tv::expr
