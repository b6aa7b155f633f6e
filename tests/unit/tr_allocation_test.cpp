// tr runs every time a text is shown, on window and job threads: once the language is known it
// must not allocate. This program counts every operator new to check that.
#include "i18n/tr.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

namespace {
std::atomic<std::size_t> allocations{0};
}

// The replaceable global forms; array and nothrow forms end up here in libstdc++.
void* operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* memory = std::malloc(size ? size : 1)) return memory;
    throw std::bad_alloc();
}
void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}

namespace {

TEST(TrAllocation, CounterSeesAllocations) {
    std::size_t before = allocations.load();
    auto* text = new std::string(64, 'x');
    delete text;
    EXPECT_GT(allocations.load(), before);
}

TEST(TrAllocation, TranslatingAllocatesNothing) {
    (void)tr("Start", "启动"); // the first call detects the language, which may allocate
    std::size_t length = 0;
    std::size_t before = allocations.load();
    for (int round = 0; round < 100; ++round) {
        length += tr("Start", "启动").size();
        length += tr("Backup done: ", "备份完成：").size();
        length += tr("not in the table", "不在表里").size();
        for (Lang lang : {Lang::en, Lang::zh, Lang::fr, Lang::es}) {
            length +=
                translate(lang, "You have unsaved changes on the Connection page. Discard them?",
                          "\"连接方式\"页有没保存的修改，要放弃吗？")
                    .size();
            length += translate(lang, "stopping...", "正在停止…").size();
            length += translate(lang, "Stopping...", "正在停止…").size();
        }
    }
    EXPECT_EQ(allocations.load(), before);
    EXPECT_GT(length, 0u);
}

} // namespace
