// The message classes: setters copy and refuse bad blocks, getters hand out task memory that
// the caller frees and write their outputs only on success, and the scripted contract breaches
// that the layer's robustness tests rely on.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "allocation_failure.h"
#include "platform/task_memory.h"
#include "stack/network_message.h"
#include "stack/protocol_message.h"
#include "stack/testing/stack_test.h"

namespace {

using platform::TaskMem;
using stack::NetworkMessage;
using stack::ProtocolMessage;
using Bytes = std::vector<BYTE>;

class MessageClassesTest : public stack::testing::StackTest {};

// One setter/getter pair of a block field, on a fresh message.
struct BlockField {
    const char* name;
    std::function<HRESULT(LONG, BYTE*)> set;
    std::function<HRESULT(LONG*, BYTE**)> get;
};

std::vector<BlockField> BlockFields(ProtocolMessage* command, NetworkMessage* frame) {
    return {
        {"ProtocolMessage::SetData", [=](LONG n, BYTE* p) { return command->SetData(n, p); },
         [=](LONG* n, BYTE** p) { return command->GetData(n, p); }},
        {"ProtocolMessage::SetSendData",
         [=](LONG n, BYTE* p) { return command->SetSendData(n, p); },
         [=](LONG* n, BYTE** p) { return command->GetSendData(n, p); }},
        {"ProtocolMessage::SetDestinationAddress",
         [=](LONG n, BYTE* p) { return command->SetDestinationAddress(n, p); },
         [=](LONG* n, BYTE** p) { return command->GetDestinationAddress(n, p); }},
        {"ProtocolMessage::SetReceiveData",
         [=](LONG n, BYTE* p) { return command->SetReceiveData(n, p); },
         [=](LONG* n, BYTE** p) { return command->GetReceiveData(n, p); }},
        {"NetworkMessage::SetData", [=](LONG n, BYTE* p) { return frame->SetData(n, p); },
         [=](LONG* n, BYTE** p) { return frame->GetData(n, p); }},
        {"NetworkMessage::SetSendOptions",
         [=](LONG n, BYTE* p) { return frame->SetSendOptions(n, p); },
         [=](LONG* n, BYTE** p) { return frame->GetSendOptions(n, p); }},
    };
}

// What a getter hands out, copied, with the block freed as the caller must.
Bytes Read(const BlockField& field, LONG* sizeOut = nullptr) {
    LONG size = -7;
    TaskMem<BYTE> block;
    EXPECT_EQ(field.get(&size, block.put()), S_OK);
    if (sizeOut != nullptr) *sizeOut = size;
    if (size == 0) {
        EXPECT_EQ(block.get(), nullptr) << "no block for size 0";
    }
    return block ? Bytes(block.get(), block.get() + size) : Bytes{};
}

TEST_F(MessageClassesTest, SettersCopyAndRefuseBadBlocksWithoutStoringAnything) {
    struct Case {
        LONG size;
        bool nullBlock;
        HRESULT expected;
        Bytes stored;  // what the getter hands out afterwards
    };
    Bytes source = {0x12, 0x34, 0x56};
    const Bytes previous = {0x99, 0x98};
    const Case cases[] = {
        {3, false, S_OK, source},
        {0, true, S_OK, {}},
        {0, false, S_OK, {}},
        {-1, false, E_INVALIDARG, previous},
        {2, true, E_INVALIDARG, previous},
    };
    for (const Case& c : cases) {
        auto command = ProtocolMessage::Create();
        auto frame = NetworkMessage::Create();
        for (const BlockField& field : BlockFields(command.get(), frame.get())) {
            SCOPED_TRACE(::testing::Message() << field.name << " size " << c.size);
            Bytes before = previous;
            ASSERT_EQ(field.set(static_cast<LONG>(before.size()), before.data()), S_OK);
            Bytes input = source;
            EXPECT_EQ(field.set(c.size, c.nullBlock ? nullptr : input.data()), c.expected);
            input.assign(input.size(), 0);  // the message must hold its own copy
            LONG size = 0;
            EXPECT_EQ(Read(field, &size), c.stored);
            EXPECT_EQ(size, static_cast<LONG>(c.stored.size()));
        }
    }
    ExpectAllReleased();
}

TEST_F(MessageClassesTest, GettersWriteTheirOutputsOnlyOnSuccess) {
    stack::CommandSpec spec;
    spec.messageId = 7;
    spec.sendData = {1, 2, 3};
    auto command = ProtocolMessage::CreateCommand(spec);
    env().FailOnCall("ProtocolMessage::GetSendData", 1, E_OUTOFMEMORY);
    env().FailOnCall("ProtocolMessage::GetMessageID", 1, E_FAIL);
    env().FailOnCall("ProtocolMessage::GetCommandType", 1, E_FAIL);

    LONG size = -5;
    BYTE* block = reinterpret_cast<BYTE*>(0x1);
    EXPECT_EQ(command->GetSendData(&size, &block), E_OUTOFMEMORY);
    EXPECT_EQ(size, -5);
    EXPECT_EQ(block, reinterpret_cast<BYTE*>(0x1));
    ULONG id = 42;
    EXPECT_EQ(command->GetMessageID(&id), E_FAIL);
    EXPECT_EQ(id, 42u);
    LPWSTR text = reinterpret_cast<LPWSTR>(0x1);
    EXPECT_EQ(command->GetCommandType(&text), E_FAIL);
    EXPECT_EQ(text, reinterpret_cast<LPWSTR>(0x1));

    EXPECT_EQ(command->GetSendData(nullptr, &block), E_POINTER);
    EXPECT_EQ(command->GetSendData(&size, nullptr), E_POINTER);
    EXPECT_EQ(block, reinterpret_cast<BYTE*>(0x1));
    EXPECT_EQ(command->GetMessageID(&id), S_OK);
    EXPECT_EQ(id, 7u);
    command = nullptr;
    ExpectAllReleased();
}

TEST_F(MessageClassesTest, AnAllocationThatFailsInsideAnOperationIsAResultNotAnException) {
    auto frame = NetworkMessage::Create();
    Bytes kept = {0x01, 0x02};
    ASSERT_EQ(frame->SetData(2, kept.data()), S_OK);
    Bytes bigger(64, 0xEE);
    for (bool recording : {true, false}) {
        env().Log().SetEnabled(recording);
        {
            testing_support::ScopedAllocationFailure failure(1);
            EXPECT_EQ(frame->SetData(64, bigger.data()), E_OUTOFMEMORY);
            EXPECT_TRUE(failure.Happened());
        }
        LONG size = 0;
        TaskMem<BYTE> block;
        ASSERT_EQ(frame->GetData(&size, block.put()), S_OK);
        EXPECT_EQ(Bytes(block.get(), block.get() + size), kept) << "the old data stays";
    }
    frame = nullptr;
    ExpectAllReleased();
}

TEST_F(MessageClassesTest, CommandTypeIsHandedOutAsACopyAndNullMeansNone) {
    auto command = ProtocolMessage::Create();
    TaskMem<WCHAR> text;
    ASSERT_EQ(command->GetCommandType(text.put()), S_OK);
    EXPECT_EQ(text.get(), nullptr) << "no command type at the start";

    platform::WideString name = WIDE("READ");
    ASSERT_EQ(command->SetCommandType(name.data()), S_OK);
    name[0] = WIDE('X');
    ASSERT_EQ(command->GetCommandType(text.put()), S_OK);
    EXPECT_EQ(platform::WideView(text.get()), platform::WideStringView(WIDE("READ")));
    TaskMem<WCHAR> second;
    ASSERT_EQ(command->GetCommandType(second.put()), S_OK);
    EXPECT_NE(second.get(), text.get()) << "every call hands out a block of its own";

    ASSERT_EQ(command->SetCommandType(nullptr), S_OK);
    ASSERT_EQ(command->GetCommandType(text.put()), S_OK);
    EXPECT_EQ(text.get(), nullptr);
    text.reset();
    second.reset();
    command = nullptr;
    ExpectAllReleased();
}

TEST_F(MessageClassesTest, ScriptedContractBreachesAreHandedOutAsConfigured) {
    struct Case {
        stack::OutputBreach breach;
        Bytes stored;
        LONG size;
        bool block;
    };
    const Case cases[] = {
        {{-4, false}, {1, 2, 3}, -4, true},  // negative size
        {{24, true}, {}, 24, false},         // size 24 without a block
        {{24, false}, {1, 2, 3}, 24, true},  // size disagrees with the block
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        stack::CommandSpec spec;
        spec.sendData = c.stored;
        auto command = ProtocolMessage::CreateCommand(spec);
        command->BreakOutput(ProtocolMessage::Block::SendData, c.breach);
        command->BreakOutput(ProtocolMessage::Block::DestinationAddress, c.breach);
        for (auto get : {&ProtocolMessage::GetSendData, &ProtocolMessage::GetDestinationAddress}) {
            LONG size = 0;
            TaskMem<BYTE> block;
            EXPECT_EQ((command.get()->*get)(&size, block.put()), S_OK);
            EXPECT_EQ(size, c.size);
            const bool expectBlock = c.block && get == &ProtocolMessage::GetSendData;
            EXPECT_EQ(block.get() != nullptr, expectBlock);
        }
        command->BreakOutput(ProtocolMessage::Block::SendData, std::nullopt);
        LONG size = 0;
        TaskMem<BYTE> block;
        EXPECT_EQ(command->GetSendData(&size, block.put()), S_OK);
        EXPECT_EQ(size, static_cast<LONG>(c.stored.size())) << "honest again";
    }

    // GetRetryState can succeed without writing; a fresh message says rm_NONE.
    auto command = ProtocolMessage::Create();
    _tagRetryMethod retry = rm_TIMEOUTONLY;
    ASSERT_EQ(command->GetRetryState(&retry), S_OK);
    EXPECT_EQ(retry, rm_NONE);
    ASSERT_EQ(command->SetRetryState(rm_CHECKSUMONLY), S_OK);
    command->SkipRetryStateOutput(true);
    retry = rm_BOTH;
    ASSERT_EQ(command->GetRetryState(&retry), S_OK);
    EXPECT_EQ(retry, rm_BOTH);
    command = nullptr;
    ExpectAllReleased();
}

}  // namespace
