// The module as an in-process server, loaded by path into this process with the stand-in stack
// registered: its class object, when it may be unloaded, plain and aggregated creation, the
// object's interface table and COM identity, and its trace lines reaching a viewer that existed
// before it was loaded.
#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "interfaces/layer_interfaces.h"
#include "interfaces/vorn_ids.h"
#include "module_file.h"
#include "platform/com_ptr.h"
#include "platform/interlocked.h"
#include "stack/testing/stack_test.h"
#include "trace/zqm_trace_viewer.h"

namespace {

using module_testing::ModuleEntryPoints;
using module_testing::ModuleFile;
using platform::ComPtr;

// The published class of the in-process free-threaded unmarshaler. (MinGW's import library
// carries a wrong value under the Windows name, so the tests spell it out.)
constexpr CLSID kInProcFreeMarshaler{
    0x0000033A, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// An outer object for aggregation: answers IUnknown itself and hands every other request to the
// aggregated object's non-delegating unknown. Counts its references; never deleted.
class OuterObject : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        *ppv = nullptr;
        if (IsEqualIID(riid, IID_IUnknown)) {
            *ppv = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        return inner != nullptr ? inner->QueryInterface(riid, ppv) : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(refs_.Increment()); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(refs_.Decrement()); }

    LONG References() const { return refs_.Value(); }

    IUnknown* inner = nullptr;  // the aggregated object's non-delegating unknown (one reference)

private:
    platform::InterlockedCounter refs_{0};
};

class ServerTest : public stack::testing::StackTest {
protected:
    void SetUp() override {
        StackTest::SetUp();
        if (HasFatalFailure()) return;
        Load();
    }

    void TearDown() override {
        entry_.reset();
        library_.Unload();
        StackTest::TearDown();
    }

    void Load() {
        library_ = platform::DynamicLibrary::Load(ModuleFile());
        ASSERT_TRUE(library_.valid()) << ModuleFile();
        entry_.emplace(library_);
        ASSERT_TRUE(entry_->complete());
    }

    HRESULT CanUnloadNow() { return entry_->canUnloadNow(); }

    ComPtr<IClassFactory> Factory() {
        ComPtr<IClassFactory> factory;
        EXPECT_EQ(entry_->getClassObject(CLSID_VORNProtocol, IID_IClassFactory, factory.put_void()),
                  S_OK);
        return factory;
    }

    ComPtr<IVELDO_ProtocolComms> CreatePlain() {
        ComPtr<IVELDO_ProtocolComms> layer;
        EXPECT_EQ(Factory()->CreateInstance(nullptr, IID_IVELDO_ProtocolComms, layer.put_void()),
                  S_OK);
        return layer;
    }

    platform::DynamicLibrary library_;
    std::optional<ModuleEntryPoints> entry_;
};

TEST_F(ServerTest, ClassObjectOfTheOneClass) {
    struct Case {
        const CLSID* clsid;
        const IID* iid;
        HRESULT expected;
    };
    const Case cases[] = {
        {&CLSID_VORNProtocol, &IID_IClassFactory, S_OK},
        {&CLSID_VORNProtocol, &IID_IUnknown, S_OK},
        {&CLSID_VORNProtocol, &IID_IDispatch, E_NOINTERFACE},
        {&CLSID_VORNProtocol, &IID_IVELDO_ProtocolComms, E_NOINTERFACE},
        {&CLSID_StackServices, &IID_IClassFactory, CLASS_E_CLASSNOTAVAILABLE},
        {&GUID_NULL, &IID_IClassFactory, CLASS_E_CLASSNOTAVAILABLE},
    };
    for (const Case& c : cases) {
        ComPtr<IUnknown> object;
        EXPECT_EQ(entry_->getClassObject(*c.clsid, *c.iid, object.put_void()), c.expected);
        EXPECT_EQ(object.get() != nullptr, c.expected == S_OK);
    }
    EXPECT_EQ(entry_->getClassObject(CLSID_VORNProtocol, IID_IClassFactory, nullptr), E_POINTER);
    // One factory, cached for the life of the module.
    EXPECT_EQ(Factory().get(), Factory().get());
    EXPECT_EQ(CanUnloadNow(), S_OK);
}

// The module is loaded afresh for each test, so these are the first requests.
TEST_F(ServerTest, FirstRequestsFromManyThreadsShareOneFactory) {
    constexpr int kThreads = 8;
    std::promise<void> go;
    const std::shared_future<void> start = go.get_future().share();
    std::vector<ComPtr<IClassFactory>> factories(kThreads);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            start.wait();
            entry_->getClassObject(CLSID_VORNProtocol, IID_IClassFactory,
                                   factories[static_cast<std::size_t>(i)].put_void());
        });
    }
    go.set_value();
    for (std::thread& thread : threads) thread.join();
    for (const ComPtr<IClassFactory>& factory : factories) {
        ASSERT_TRUE(factory);
        EXPECT_EQ(factory.get(), factories[0].get());
    }
    factories.clear();
    EXPECT_EQ(CanUnloadNow(), S_OK);
}

TEST_F(ServerTest, ClientFactoriesAndServerLocksKeepTheModuleLoaded) {
    EXPECT_EQ(CanUnloadNow(), S_OK);
    ComPtr<IClassFactory> first = Factory();
    EXPECT_EQ(CanUnloadNow(), S_FALSE);
    ComPtr<IClassFactory> second = Factory();
    first = nullptr;
    EXPECT_EQ(CanUnloadNow(), S_FALSE);
    IClassFactory* const cached = second.get();
    second = nullptr;
    EXPECT_EQ(CanUnloadNow(), S_OK);

    // The class table kept its reference: the same factory comes back.
    ComPtr<IClassFactory> again = Factory();
    EXPECT_EQ(again.get(), cached);
    EXPECT_EQ(again->LockServer(TRUE), S_OK);
    EXPECT_EQ(again->LockServer(TRUE), S_OK);
    again = nullptr;
    EXPECT_EQ(CanUnloadNow(), S_FALSE);
    EXPECT_EQ(Factory()->LockServer(FALSE), S_OK);
    EXPECT_EQ(CanUnloadNow(), S_FALSE);
    EXPECT_EQ(Factory()->LockServer(FALSE), S_OK);
    EXPECT_EQ(CanUnloadNow(), S_OK);
}

TEST_F(ServerTest, PlainObjectAnswersItsInterfaceTableAndHoldsTheModule) {
    ComPtr<IVELDO_ProtocolComms> layer = CreatePlain();
    ASSERT_TRUE(layer);
    EXPECT_EQ(CanUnloadNow(), S_FALSE);

    ComPtr<IVELDO_RuntimeInformation> runtime;
    EXPECT_EQ(layer.query_to(&runtime), S_OK);
    ComPtr<IUnknown> identity;
    ComPtr<IUnknown> identityFromRuntime;
    EXPECT_EQ(layer.query_to(&identity), S_OK);
    EXPECT_EQ(runtime.query_to(&identityFromRuntime), S_OK);
    EXPECT_EQ(identity.get(), identityFromRuntime.get());
    EXPECT_EQ(identity.get(), static_cast<IUnknown*>(layer.get()));

    // IMarshal is the free-threaded marshaler's: pointers cross apartments unmarshaled.
    ComPtr<IMarshal> marshal;
    ASSERT_EQ(layer.query_to(&marshal), S_OK);
    CLSID unmarshaler{};
    EXPECT_EQ(marshal->GetUnmarshalClass(IID_IVELDO_ProtocolComms, layer.get(), MSHCTX_INPROC,
                                         nullptr, MSHLFLAGS_NORMAL, &unmarshaler),
              S_OK);
    EXPECT_TRUE(IsEqualCLSID(unmarshaler, kInProcFreeMarshaler));

    for (const IID* refused : {&IID_IDispatch, &IID_IClassFactory, &IID_IVELDO_DeviceInfo}) {
        void* none = &unmarshaler;
        EXPECT_EQ(layer->QueryInterface(*refused, &none), E_NOINTERFACE);
        EXPECT_EQ(none, nullptr);
    }
    EXPECT_EQ(layer->QueryInterface(IID_IUnknown, nullptr), E_POINTER);

    layer = nullptr;
    runtime = nullptr;
    identity = nullptr;
    identityFromRuntime = nullptr;
    EXPECT_EQ(CanUnloadNow(), S_FALSE);  // the marshaler still holds the object
    marshal = nullptr;
    EXPECT_EQ(CanUnloadNow(), S_OK);
    ExpectAllReleased();  // the object's stack services went with it
}

TEST_F(ServerTest, CreationThatIsRefusedLeavesNothingBehind) {
    OuterObject outer;
    struct Case {
        const char* name;
        IUnknown* outer;
        const IID* iid;
        bool nullOut;
        HRESULT expected;
    };
    const Case cases[] = {
        {"null out pointer", nullptr, &IID_IVELDO_ProtocolComms, true, E_POINTER},
        {"aggregated, not IUnknown", &outer, &IID_IVELDO_ProtocolComms, false,
         CLASS_E_NOAGGREGATION},
        {"aggregated, null out pointer", &outer, &IID_IUnknown, true, E_POINTER},
        {"interface not in the table", nullptr, &IID_IDispatch, false, E_NOINTERFACE},
    };
    ComPtr<IClassFactory> factory = Factory();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        void* object = &outer;  // must come back null
        EXPECT_EQ(factory->CreateInstance(c.outer, *c.iid, c.nullOut ? nullptr : &object),
                  c.expected);
        if (!c.nullOut) {
            EXPECT_EQ(object, nullptr);
        }
    }
    EXPECT_EQ(outer.References(), 0);
    factory = nullptr;
    EXPECT_EQ(CanUnloadNow(), S_OK);
    ExpectAllReleased();
}

TEST_F(ServerTest, FailedFinalConstructLeavesTheLockCountWhereItWas) {
    RegisterClassesExcept({stack::StandInClass::StackServices});
    ComPtr<IClassFactory> factory = Factory();
    OuterObject outer;
    for (IUnknown* aggregating :
         {static_cast<IUnknown*>(nullptr), static_cast<IUnknown*>(&outer)}) {
        ComPtr<IUnknown> object;
        EXPECT_EQ(factory->CreateInstance(aggregating, IID_IUnknown, object.put_void()),
                  REGDB_E_CLASSNOTREG);
        EXPECT_EQ(object.get(), nullptr);
    }
    EXPECT_EQ(outer.References(), 0);
    factory = nullptr;
    EXPECT_EQ(CanUnloadNow(), S_OK);
}

TEST_F(ServerTest, AggregatedObjectDelegatesToTheOuterObject) {
    OuterObject outer;
    ASSERT_EQ(
        Factory()->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner)),
        S_OK);
    ASSERT_NE(outer.inner, nullptr);
    EXPECT_EQ(outer.References(), 0);  // the aggregate holds no reference on its outer object
    EXPECT_EQ(CanUnloadNow(), S_FALSE);

    // The non-delegating unknown answers IUnknown with itself and counts on its own.
    IUnknown* innerAgain = nullptr;
    ASSERT_EQ(outer.inner->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&innerAgain)),
              S_OK);
    EXPECT_EQ(innerAgain, outer.inner);
    EXPECT_EQ(innerAgain->Release(), 1u);
    EXPECT_EQ(outer.References(), 0);

    // The contained interfaces count on the outer object, through it, or from the inner one.
    ComPtr<IVELDO_ProtocolComms> layer;
    ASSERT_EQ(outer.QueryInterface(IID_IVELDO_ProtocolComms, layer.put_void()), S_OK);
    EXPECT_EQ(outer.References(), 1);
    layer->AddRef();
    EXPECT_EQ(outer.References(), 2);
    layer->Release();
    EXPECT_EQ(outer.References(), 1);
    EXPECT_EQ(outer.inner->AddRef(), 2u);  // the inner count did not move
    EXPECT_EQ(outer.inner->Release(), 1u);

    // Identity is the outer object's.
    ComPtr<IUnknown> identity;
    ASSERT_EQ(layer.query_to(&identity), S_OK);
    EXPECT_EQ(identity.get(), static_cast<IUnknown*>(&outer));
    identity = nullptr;

    // The marshaler is aggregated on the outer object too.
    ComPtr<IMarshal> marshal;
    ASSERT_EQ(layer.query_to(&marshal), S_OK);
    EXPECT_EQ(outer.References(), 2);
    CLSID unmarshaler{};
    EXPECT_EQ(marshal->GetUnmarshalClass(IID_IVELDO_ProtocolComms, layer.get(), MSHCTX_INPROC,
                                         nullptr, MSHLFLAGS_NORMAL, &unmarshaler),
              S_OK);
    EXPECT_TRUE(IsEqualCLSID(unmarshaler, kInProcFreeMarshaler));
    marshal = nullptr;

    ComPtr<IVELDO_RuntimeInformation> runtime;
    EXPECT_EQ(layer.query_to(&runtime), S_OK);
    EXPECT_EQ(outer.References(), 2);
    runtime = nullptr;

    layer = nullptr;
    EXPECT_EQ(outer.References(), 0);
    EXPECT_EQ(outer.inner->Release(), 0u);  // the outer object lets the aggregate go
    outer.inner = nullptr;
    EXPECT_EQ(CanUnloadNow(), S_OK);
    ExpectAllReleased();
}

// The trace facility maps the area when the module loads, before the module's own start-up;
// a viewer that exists by then gets the object's lines.
TEST_F(ServerTest, ObjectTracesIntoTheViewerThatPrecededTheModule) {
    entry_.reset();
    library_.Unload();
    ASSERT_FALSE(platform::DynamicLibrary::IsLoaded(ModuleFile()));

    ZQMTraceViewer viewer("JOE$");
    ASSERT_TRUE(viewer.valid());
    Load();
    if (HasFatalFailure()) return;
    ComPtr<IVELDO_ProtocolComms> layer = CreatePlain();
    ASSERT_TRUE(layer);
    layer->Initialise(nullptr);
    const std::vector<std::string> lines = viewer.TakeLines();
    EXPECT_NE(std::ranges::find(lines, "CVORNProtocol::Initialise()\n"), lines.end());
    layer = nullptr;
    ExpectAllReleased();
}

}  // namespace
