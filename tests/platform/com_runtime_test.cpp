// The Linux COM runtime where it has logic of its own: class lookup and creation, the
// free-threaded marshaler's aggregation and identity, task-memory accounting and identifier
// text.
#include <gtest/gtest.h>

#include "counting_unknown.h"
#include "interfaces/layer_interfaces.h"
#include "platform/com_ptr.h"

namespace {

using platform::ComPtr;
using testing_support::CountingUnknown;

constexpr CLSID kTestClass{0x11111111, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 8}};

// A class object whose instances are CountingUnknown objects owned by the factory.
class CountingFactory : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        *ppv = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory)) {
            return E_NOINTERFACE;
        }
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(refs.Increment()); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(refs.Decrement()); }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        lastOuter = outer;
        return instance.QueryInterface(riid, ppv);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

    platform::InterlockedCounter refs{0};
    CountingUnknown instance;
    IUnknown* lastOuter = nullptr;
};

TEST(ClassTableTest, UnknownClassIsNotRegisteredAndLeavesTheOutPointerNull) {
    void* out = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(CoCreateInstance(kTestClass, nullptr, CLSCTX_ALL, IID_IUnknown, &out),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(CoCreateInstance(kTestClass, nullptr, CLSCTX_ALL, IID_IUnknown, nullptr), E_POINTER);
    EXPECT_EQ(CoGetClassObject(kTestClass, CLSCTX_ALL, nullptr, IID_IClassFactory, nullptr),
              E_POINTER);
}

TEST(ClassTableTest, RegisteredClassObjectCreatesUntilRevokedWithBalancedReferences) {
    CountingFactory factory;
    DWORD cookie = 0;
    ASSERT_EQ(CoRegisterClassObject(kTestClass, &factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                    &cookie),
              S_OK);
    EXPECT_NE(cookie, 0u);
    EXPECT_EQ(factory.refs.Value(), 1);

    struct Case {
        DWORD context;
        HRESULT expected;
    };
    // Only the contexts the class object was registered for find it.
    for (const Case& c : {Case{CLSCTX_ALL, S_OK}, Case{CLSCTX_INPROC, S_OK},
                          Case{CLSCTX_LOCAL_SERVER, REGDB_E_CLASSNOTREG}}) {
        ComPtr<IUnknown> object;
        EXPECT_EQ(CoCreateInstance(kTestClass, nullptr, c.context, IID_IUnknown, object.put_void()),
                  c.expected);
        EXPECT_EQ(object.get() != nullptr, c.expected == S_OK);
    }
    EXPECT_EQ(factory.instance.References(), 0);
    EXPECT_EQ(factory.refs.Value(), 1) << "creation releases the factory it used";

    CountingUnknown outer;
    ComPtr<IUnknown> aggregated;
    EXPECT_EQ(CoCreateInstance(kTestClass, &outer, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               aggregated.put_void()),
              S_OK);
    EXPECT_EQ(factory.lastOuter, &outer) << "the outer unknown reaches the factory";

    ComPtr<IClassFactory> classObject;
    EXPECT_EQ(CoGetClassObject(kTestClass, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                               classObject.put_void()),
              S_OK);
    EXPECT_EQ(classObject.get(), &factory);
    classObject = nullptr;

    EXPECT_EQ(CoRevokeClassObject(cookie), S_OK);
    EXPECT_EQ(factory.refs.Value(), 0);
    EXPECT_EQ(CoRevokeClassObject(cookie), CO_E_OBJNOTCONNECTED);
    ComPtr<IUnknown> none;
    EXPECT_EQ(CoCreateInstance(kTestClass, nullptr, CLSCTX_ALL, IID_IUnknown, none.put_void()),
              REGDB_E_CLASSNOTREG);
}

TEST(FreeThreadedMarshalerTest, AnswersIMarshalOnBehalfOfItsOuterUnknown) {
    CountingUnknown outer;
    ComPtr<IUnknown> inner;
    ASSERT_EQ(CoCreateFreeThreadedMarshaler(&outer, inner.put()), S_OK);
    EXPECT_EQ(outer.References(), 0) << "the marshaler takes no reference on its outer object";

    ComPtr<IMarshal> marshal;
    ASSERT_EQ(inner.query_to(&marshal), S_OK);
    EXPECT_EQ(outer.References(), 1) << "the interface handed out counts on the outer object";

    // The IUnknown methods of IMarshal are the outer object's.
    ComPtr<IUnknown> identity;
    ASSERT_EQ(marshal.query_to(&identity), S_OK);
    EXPECT_EQ(identity.get(), &outer);
    identity = nullptr;

    // The inner unknown is the marshaler's own identity, distinct from the outer one.
    ComPtr<IUnknown> innerIdentity;
    ASSERT_EQ(inner.query_to(&innerIdentity), S_OK);
    EXPECT_EQ(innerIdentity.get(), inner.get());

    CLSID unmarshalClass{};
    EXPECT_EQ(marshal->GetUnmarshalClass(IID_IUnknown, &outer, MSHCTX_INPROC, nullptr,
                                         MSHLFLAGS_NORMAL, &unmarshalClass),
              S_OK);
    EXPECT_TRUE(IsEqualCLSID(unmarshalClass, CLSID_InProcFreeMarshaler));

    void* dispatch = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(inner->QueryInterface(IID_IDispatch, &dispatch), E_NOINTERFACE);
    EXPECT_EQ(dispatch, nullptr);

    marshal = nullptr;
    EXPECT_EQ(outer.References(), 0);
}

TEST(FreeThreadedMarshalerTest, WithoutAnOuterUnknownItIsItsOwnIdentity) {
    ComPtr<IUnknown> inner;
    ASSERT_EQ(CoCreateFreeThreadedMarshaler(nullptr, inner.put()), S_OK);
    ComPtr<IMarshal> marshal;
    ASSERT_EQ(inner.query_to(&marshal), S_OK);
    ComPtr<IUnknown> identity;
    ASSERT_EQ(marshal.query_to(&identity), S_OK);
    EXPECT_EQ(identity.get(), inner.get());
    EXPECT_EQ(CoCreateFreeThreadedMarshaler(nullptr, nullptr), E_INVALIDARG);
}

TEST(TaskMemoryTest, CountsLiveBlocksAndRefusesFreesOfDeadOnes) {
    const long before = VornTaskMemOutstanding();
    const long badBefore = VornTaskMemBadFrees();
    void* block = CoTaskMemAlloc(32);
    ASSERT_NE(block, nullptr);
    void* empty = CoTaskMemAlloc(0);
    ASSERT_NE(empty, nullptr) << "a zero-size request still yields a block";
    EXPECT_EQ(VornTaskMemOutstanding(), before + 2);

    block = CoTaskMemRealloc(block, 64);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(VornTaskMemOutstanding(), before + 2);
    CoTaskMemFree(block);
    CoTaskMemFree(empty);
    CoTaskMemFree(nullptr);
    EXPECT_EQ(VornTaskMemOutstanding(), before);
    EXPECT_EQ(VornTaskMemBadFrees(), badBefore);
}

TEST(TaskMemoryTest, FailsExactlyTheRequestedAllocation) {
    VornTaskMemFailAllocation(2);
    void* first = CoTaskMemAlloc(8);
    void* second = CoTaskMemAlloc(8);
    void* third = CoTaskMemAlloc(8);
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(second, nullptr);
    EXPECT_NE(third, nullptr);
    CoTaskMemFree(first);
    CoTaskMemFree(third);
}

TEST(GuidTextTest, RoundTripsInRegistryFormAndRejectsMalformedText) {
    OLECHAR text[39];
    ASSERT_EQ(StringFromGUID2(IID_IVELDO_ProtocolComms, text, 39), 39);
    EXPECT_EQ(platform::WideString(text), platform::WideString(u"{72C43F46-4D25-41F1-9965-59E920A126C2}"));
    EXPECT_EQ(StringFromGUID2(IID_IVELDO_ProtocolComms, text, 38), 0);

    CLSID parsed{};
    ASSERT_EQ(CLSIDFromString(text, &parsed), S_OK);
    EXPECT_TRUE(IsEqualGUID(parsed, IID_IVELDO_ProtocolComms));
    for (const char16_t* bad : {u"", u"{72C43F46-4D25-41F1-9965-59E920A126C2", u"72C43F46",
                                u"{72C43F46-4D25-41F1-9965-59E920A126CZ}",
                                u"{72C43F46-4D25-41F1-9965-59E920A126C2}x"}) {
        EXPECT_EQ(CLSIDFromString(bad, &parsed), CO_E_CLASSSTRING) << "case " << bad - bad;
    }
}

}  // namespace
