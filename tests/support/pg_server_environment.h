#pragma once
// The PostgreSQL server of a window test program: it lives from the first
// test to the end of the run, inside the application's lifetime (a function's
// static would outlive the application).
#include "support/pg_test_server.h"

#include <gtest/gtest.h>

#include <memory>

namespace k8w::test {

class PgServerEnvironment final : public ::testing::Environment {
public:
    static PgTestServer& server() { return *server_; }
    void SetUp() override { server_ = std::make_unique<PgTestServer>(); }
    void TearDown() override { server_.reset(); }

private:
    inline static std::unique_ptr<PgTestServer> server_;
};

} // namespace k8w::test
