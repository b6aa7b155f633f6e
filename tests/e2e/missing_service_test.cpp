// The Service Control Manager's answers when the service does not exist.
#include "harness.h"

#include "instance/paths.h"
#include "svc/control.h"
#include "svc/service.h"
#include "svc/status.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>

namespace {

class MissingService : public ::testing::Test {
  protected:
    void SetUp() override { e2e::remove_service("KeltaMySQL57"); }
};

TEST_F(MissingService, IsNotInstalledNotAnError) {
    auto service = open_service(SERVICE_QUERY_STATUS);
    ASSERT_TRUE(service.has_value()) << service.error();
    EXPECT_FALSE(service->has_value());
    auto query = query_service();
    ASSERT_TRUE(query.has_value());
    EXPECT_FALSE(query->installed);
    EXPECT_EQ(service_status(), ServiceStatus::NotInstalled);
}

TEST_F(MissingService, StopSucceedsAtOnceAndStartRefuses) {
    auto begin = std::chrono::steady_clock::now();
    EXPECT_TRUE(stop_service().has_value());
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(1));
    EXPECT_EQ(error_text(start_service()), "service is not installed");
    EXPECT_EQ(error_text(restart_service()), "service is not installed");
}

TEST_F(MissingService, WaitForStatePollsUntilTheLimit) {
    auto begin = std::chrono::steady_clock::now();
    auto waited = wait_for_state(SERVICE_RUNNING, std::chrono::seconds(1));
    auto elapsed = std::chrono::steady_clock::now() - begin;
    EXPECT_EQ(error_text(waited), "timeout waiting for service state 4; see " + error_log_path());
    EXPECT_GE(elapsed, std::chrono::seconds(1));
    EXPECT_LT(elapsed, std::chrono::seconds(3));
}

} // namespace
