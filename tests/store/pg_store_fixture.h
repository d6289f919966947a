#pragma once
// One PostgreSQL server for the whole test program, and a fresh card base
// in a database of its own for each test.
#include "store/card_store.h"
#include "store/pg_card_store.h"
#include "support/pg_test_server.h"

#include <gtest/gtest.h>

#include <cstring>

namespace k8w::test {

inline PgTestServer& server() {
    static PgTestServer instance;
    return instance;
}

inline Card makeCard(std::uint32_t code, const char* name, double changed = 45000.5) {
    Card card{};
    card.codeUoo = code;
    card.changeDate = changed;
    std::strncpy(card.cardNumber, name, sizeof card.cardNumber - 1);
    return card;
}

inline bool sameBytes(const Card& a, const Card& b) { return std::memcmp(&a, &b, sizeof(Card)) == 0; }

class PgCardStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        db_ = server().createDatabase();
        ASSERT_EQ(InitPgCardBase(server().uri(db_)), QString());
    }
    // `parameters` are added to the URI ("&options=...").
    std::unique_ptr<CardStore> open(const QString& user = QString(), const QString& parameters = QString()) {
        QString error;
        auto store = OpenPgCardStore(server().uri(db_, user) + parameters, &error);
        EXPECT_TRUE(store) << error.toStdString();
        return store;
    }
    QString db_;
};

} // namespace k8w::test
