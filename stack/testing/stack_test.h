// A GoogleTest fixture that stands the stand-in device stack up for each test: COM initialised
// for the test thread (multithreaded apartment), the task-memory audit installed, the
// environment reset and the stand-in classes registered. Link vorn_stack_testing.
//
//   class SendTest : public stack::testing::StackTest {};
//   TEST_F(SendTest, ...) {
//       auto lower = stack::LowerLayer::Create();
//       env().SetLowerLayer(lower.get());
//       ...
//       lower = nullptr;          // drop the test's own references first
//       ExpectAllReleased();      // nothing leaked, nothing freed or released twice
//   }
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <ios>
#include <optional>

#include "platform/task_memory_audit.h"
#include "stack/class_registration.h"
#include "stack/com_initialisation.h"
#include "stack/stack_environment.h"

namespace stack::testing {

class StackTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(com_.Result())) << "COM initialisation failed";
        // Fails on Windows when the program registered another malloc spy of its own.
        const HRESULT audit = platform::TaskMemoryAudit::Install();
        ASSERT_TRUE(SUCCEEDED(audit)) << "task-memory audit not installed: 0x" << std::hex
                                      << static_cast<unsigned long>(audit);
        Environment().Reset();
        RegisterClassesExcept({});
        liveBefore_ = Environment().Census().Live();  // an earlier test's leak stays its own
        taskMemoryBefore_ = platform::TaskMemoryAudit::Outstanding();
        badFreesBefore_ = platform::TaskMemoryAudit::BadFrees();
    }

    void TearDown() override {
        classes_.reset();
        Environment().Reset();
    }

    StackEnvironment& env() { return Environment(); }

    // Registers the stand-in classes again, leaving out some ("stack services not creatable").
    void RegisterClassesExcept(std::initializer_list<StandInClass> leaveOut) {
        classes_.reset();
        classes_.emplace(leaveOut);
        ASSERT_EQ(classes_->Result(), S_OK);
    }

    // Drops what the environment holds (lower layers, sink, registrations), then checks that no
    // stand-in made since SetUp is alive, the task memory is back where it was at SetUp, and
    // nothing was freed or released twice. Release the test's own references before calling it.
    void ExpectAllReleased() {
        Environment().ReleaseObjects();
        EXPECT_EQ(Environment().Census().Live(), liveBefore_) << "stand-in objects still alive";
        EXPECT_EQ(Environment().Census().ReferenceErrors(), 0) << "released or used after 0";
        EXPECT_EQ(platform::TaskMemoryAudit::Outstanding(), taskMemoryBefore_)
            << "task-memory blocks not freed";
        EXPECT_EQ(platform::TaskMemoryAudit::BadFrees(), badFreesBefore_)
            << "task-memory blocks freed twice or not ours";
    }

private:
    ComInitialisation com_;
    std::optional<ClassRegistration> classes_;
    long liveBefore_ = 0;
    long taskMemoryBefore_ = 0;
    long badFreesBefore_ = 0;
};

}  // namespace stack::testing
