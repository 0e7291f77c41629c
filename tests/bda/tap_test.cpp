// The bridge's stream tap on its own, between a card pin and a demultiplexer
// pin made here: its pins, the receivers it refuses, failures behind it, and
// the reader it feeds only while open. Runs under Wine, without the doubles.
#include <gtest/gtest.h>
#include <windows.h>
#include <dshow.h>
#include <wrl/client.h>

#include "bdatuner/bda_tap.h"
#include "tests/native/broadcast_builder.h"

using Microsoft::WRL::ComPtr;

namespace {

// The reference count of the objects made here; they live on the stack.
#define FAKE_UNKNOWN                                                         \
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }             \
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }            \
    ULONG refs = 1;

// A sample of the card's: the bytes given, nothing else answered.
struct FakeSample final : IMediaSample {
    explicit FakeSample(Bytes data) : bytes(std::move(data)) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override { *out = nullptr; return E_NOINTERFACE; }
    FAKE_UNKNOWN
    HRESULT STDMETHODCALLTYPE GetPointer(BYTE** at) override { *at = bytes.data(); return S_OK; }
    long STDMETHODCALLTYPE GetSize() override { return static_cast<long>(bytes.size()); }
    HRESULT STDMETHODCALLTYPE GetTime(REFERENCE_TIME*, REFERENCE_TIME*) override { return VFW_E_SAMPLE_TIME_NOT_SET; }
    HRESULT STDMETHODCALLTYPE SetTime(REFERENCE_TIME*, REFERENCE_TIME*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE IsSyncPoint() override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE SetSyncPoint(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE IsPreroll() override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE SetPreroll(BOOL) override { return S_OK; }
    long STDMETHODCALLTYPE GetActualDataLength() override { return static_cast<long>(bytes.size()); }
    HRESULT STDMETHODCALLTYPE SetActualDataLength(long) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetMediaType(AM_MEDIA_TYPE** type) override { *type = nullptr; return S_FALSE; }
    HRESULT STDMETHODCALLTYPE SetMediaType(AM_MEDIA_TYPE*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE IsDiscontinuity() override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE SetDiscontinuity(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetMediaTime(LONGLONG*, LONGLONG*) override { return VFW_E_MEDIA_TIME_NOT_SET; }
    HRESULT STDMETHODCALLTYPE SetMediaTime(LONGLONG*, LONGLONG*) override { return S_OK; }
    Bytes bytes;
};

// The card's allocator: only passed along.
struct FakeAllocator final : IMemAllocator {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override { *out = nullptr; return E_NOINTERFACE; }
    FAKE_UNKNOWN
    HRESULT STDMETHODCALLTYPE SetProperties(ALLOCATOR_PROPERTIES*, ALLOCATOR_PROPERTIES*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetProperties(ALLOCATOR_PROPERTIES*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Commit() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Decommit() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetBuffer(IMediaSample**, REFERENCE_TIME*, REFERENCE_TIME*, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ReleaseBuffer(IMediaSample*) override { return S_OK; }
};

// A pin of another filter: the card's output (it only connects) or the
// demultiplexer's input, which takes samples unless told it has no
// IMemInputPin, and answers as told.
struct FakePin final : IPin, IMemInputPin {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IPin)) *out = static_cast<IPin*>(this);
        if (IsEqualGUID(iid, IID_IMemInputPin) && takesSamples) *out = static_cast<IMemInputPin*>(this);
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    FAKE_UNKNOWN
    HRESULT STDMETHODCALLTYPE Connect(IPin*, const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) override {
        connections += SUCCEEDED(connectionAnswer);
        return connectionAnswer;
    }
    HRESULT STDMETHODCALLTYPE Disconnect() override { ++disconnects; return S_OK; }
    HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** pin) override { *pin = nullptr; return VFW_E_NOT_CONNECTED; }
    HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE*) override { return VFW_E_NOT_CONNECTED; }
    HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* d) override { *d = PINDIR_INPUT; return S_OK; }
    HRESULT STDMETHODCALLTYPE QueryId(LPWSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EndOfStream() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE BeginFlush() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EndFlush() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetAllocator(IMemAllocator**) override { return VFW_E_NO_ALLOCATOR; }
    HRESULT STDMETHODCALLTYPE NotifyAllocator(IMemAllocator*, BOOL) override { return allocatorAnswer; }
    HRESULT STDMETHODCALLTYPE GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Receive(IMediaSample*) override {
        ++samples;
        return receiveAnswer;
    }
    HRESULT STDMETHODCALLTYPE ReceiveMultiple(IMediaSample**, long, long*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ReceiveCanBlock() override { return S_FALSE; }
    bool takesSamples = true;
    HRESULT connectionAnswer = S_OK, allocatorAnswer = S_OK, receiveAnswer = S_OK;
    int connections = 0, disconnects = 0, samples = 0;
};

AM_MEDIA_TYPE TransportType() {
    AM_MEDIA_TYPE type = {};
    type.majortype = MEDIATYPE_Stream;
    type.subtype = MEDIASUBTYPE_MPEG2_TRANSPORT;
    return type;
}

// A stream naming 13.0E: a NIT and the received stream's SDT.
Bytes HotBirdLikeStream() {
    uint8_t nitCc = 0, sdtCc = 0;
    const Bytes nit = MakeSection(0x40, 318, 0, 0, 0, NitBody(NetworkName(Text("Hot Bird")),
                                                           {{1000, 318, SatelliteDelivery(130, 11034)}}));
    const Bytes sdt = MakeSection(0x42, 1000, 0, 0, 0, SdtBody(318, {Text("Rai 1")}));
    return Concat({NullPackets(3), Packetise(0x10, {nit}, &nitCc), Packetise(0x11, {sdt}, &sdtCc), NullPackets(3)});
}

struct Tap {
    Tap() {
        EXPECT_EQ(CreateStreamTap(filter.GetAddressOf()), S_OK);
        filter->FindPin(L"In", in.GetAddressOf());
        filter->FindPin(L"Out", out.GetAddressOf());
        in.As(&samples);
    }
    // The card's output meets the tap's input, and brings its allocator.
    void ConnectCard() {
        const AM_MEDIA_TYPE type = TransportType();
        ASSERT_EQ(in->ReceiveConnection(&card, &type), S_OK);
        ASSERT_EQ(samples->NotifyAllocator(&allocator, FALSE), S_OK);
    }
    HRESULT ConnectDemux() { return out->Connect(&demux, nullptr); }
    FakePin card, demux;
    FakeAllocator allocator;
    ComPtr<IBaseFilter> filter;
    ComPtr<IPin> in, out;
    ComPtr<IMemInputPin> samples;
};

TEST(StreamTap, EnumeratesItsTwoPinsAndSkipsWhatItWasAsked) {
    Tap tap;
    ComPtr<IEnumPins> pins;
    ASSERT_EQ(tap.filter->EnumPins(pins.GetAddressOf()), S_OK);
    IPin* got[3] = {};
    ULONG fetched = 0;
    EXPECT_EQ(pins->Next(2, got, nullptr), E_POINTER);  // more than one pin needs the count fetched
    EXPECT_EQ(got[0], nullptr);
    EXPECT_EQ(pins->Next(3, got, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 2u);
    EXPECT_EQ(got[0], tap.in.Get());
    EXPECT_EQ(got[1], tap.out.Get());
    for (ULONG i = 0; i < fetched; ++i) got[i]->Release();
    EXPECT_EQ(pins->Reset(), S_OK);
    EXPECT_EQ(pins->Skip(2), S_OK);  // both skipped, as asked
    EXPECT_EQ(pins->Next(1, got, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
    pins->Reset();
    EXPECT_EQ(pins->Skip(1), S_OK);
    EXPECT_EQ(pins->Skip(2), S_FALSE);  // only one was left
    pins->Reset();
    EXPECT_EQ(pins->Skip(3), S_FALSE);
    pins->Reset();
    pins->Skip(1);
    ComPtr<IEnumPins> clone;
    ASSERT_EQ(pins->Clone(clone.GetAddressOf()), S_OK);
    ASSERT_EQ(clone->Next(1, got, nullptr), S_OK);  // the clone goes on where it was made
    EXPECT_EQ(got[0], tap.out.Get());
    got[0]->Release();
    IPin* none = nullptr;
    EXPECT_EQ(tap.filter->FindPin(L"Other", &none), VFW_E_NOT_FOUND);
}

TEST(StreamTap, RefusesAReceiverThatTakesNoSamples) {
    Tap tap;
    tap.ConnectCard();
    tap.demux.takesSamples = false;
    EXPECT_EQ(tap.ConnectDemux(), VFW_E_NO_TRANSPORT);
    EXPECT_EQ(tap.demux.connections, 0);  // the graph can still connect it to the card
    IPin* peer = nullptr;
    EXPECT_EQ(tap.out->ConnectedTo(&peer), VFW_E_NOT_CONNECTED);
}

TEST(StreamTap, ADemultiplexerRefusingTheConnectionOrTheAllocatorLeavesItUnconnected) {
    Tap tap;
    tap.ConnectCard();
    tap.demux.connectionAnswer = VFW_E_TYPE_NOT_ACCEPTED;
    EXPECT_EQ(tap.ConnectDemux(), VFW_E_TYPE_NOT_ACCEPTED);
    IPin* peer = nullptr;
    EXPECT_EQ(tap.out->ConnectedTo(&peer), VFW_E_NOT_CONNECTED);
    // It takes the connection, but not the card's allocator: let go again.
    tap.demux.connectionAnswer = S_OK;
    tap.demux.allocatorAnswer = E_FAIL;
    EXPECT_EQ(tap.ConnectDemux(), E_FAIL);
    EXPECT_EQ(tap.demux.disconnects, 1);
    EXPECT_EQ(tap.out->ConnectedTo(&peer), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(TakeStreamTapFailures(tap.filter.Get()).Allocator, E_FAIL);
    tap.demux.allocatorAnswer = S_OK;
    EXPECT_EQ(tap.ConnectDemux(), S_OK);
    ASSERT_EQ(tap.out->ConnectedTo(&peer), S_OK);
    EXPECT_EQ(peer, static_cast<IPin*>(&tap.demux));
    peer->Release();
}

TEST(StreamTap, AFailingReceiveKeepsTheStreamComingAndIsHandedOutOnce) {
    Tap tap;
    tap.ConnectCard();
    ASSERT_EQ(tap.ConnectDemux(), S_OK);
    tap.filter->Run(0);
    SetStreamTapOpen(tap.filter.Get(), true);
    tap.demux.receiveAnswer = E_FAIL;
    FakeSample sample(HotBirdLikeStream());
    EXPECT_EQ(tap.samples->Receive(&sample), S_OK);  // the card goes on delivering
    EXPECT_EQ(tap.samples->Receive(&sample), S_OK);
    EXPECT_EQ(tap.demux.samples, 2);
    EXPECT_EQ(ReadStreamTap(tap.filter.Get()).Position, 130);  // the identity is read all the same
    EXPECT_EQ(TakeStreamTapFailures(tap.filter.Get()).Receive, E_FAIL);
    EXPECT_EQ(TakeStreamTapFailures(tap.filter.Get()).Receive, S_OK);  // once
    tap.demux.receiveAnswer = E_UNEXPECTED;
    tap.samples->Receive(&sample);
    EXPECT_EQ(TakeStreamTapFailures(tap.filter.Get()).Receive, S_OK);
    tap.filter->Stop();
}

TEST(StreamTap, ReadsTheStreamOnlyWhileOpenAndForgetsItAsItCloses) {
    Tap tap;
    tap.ConnectCard();
    ASSERT_EQ(tap.ConnectDemux(), S_OK);
    tap.filter->Run(0);
    FakeSample sample(HotBirdLikeStream());
    tap.samples->Receive(&sample);  // a new tap is closed
    EXPECT_EQ(ReadStreamTap(tap.filter.Get()).Position, kPositionUnknown);
    EXPECT_FALSE(ReadStreamTap(tap.filter.Get()).Synchronised);
    SetStreamTapOpen(tap.filter.Get(), true);
    tap.samples->Receive(&sample);
    EXPECT_EQ(ReadStreamTap(tap.filter.Get()).Position, 130);
    CloseStreamTap(tap.filter.Get());
    EXPECT_EQ(ReadStreamTap(tap.filter.Get()).Position, kPositionUnknown);
    tap.samples->Receive(&sample);  // what comes while closed is not read, nor kept for the opening
    SetStreamTapOpen(tap.filter.Get(), true);
    EXPECT_EQ(ReadStreamTap(tap.filter.Get()).Position, kPositionUnknown);
    EXPECT_EQ(tap.demux.samples, 3);  // the demultiplexer got every one
    EXPECT_EQ(StreamTapBytes(tap.filter.Get()), 3 * sample.bytes.size());
    tap.filter->Stop();
}

TEST(StreamTap, RefusesToDisconnectWhileRunning) {
    Tap tap;
    tap.ConnectCard();
    ASSERT_EQ(tap.ConnectDemux(), S_OK);
    tap.filter->Run(0);
    EXPECT_EQ(tap.in->Disconnect(), VFW_E_NOT_STOPPED);
    EXPECT_EQ(tap.out->Disconnect(), VFW_E_NOT_STOPPED);
    IPin* peer = nullptr;
    ASSERT_EQ(tap.in->ConnectedTo(&peer), S_OK);
    peer->Release();
    tap.filter->Stop();
    EXPECT_EQ(tap.out->Disconnect(), S_OK);
    EXPECT_EQ(tap.in->Disconnect(), S_OK);
    EXPECT_EQ(tap.in->ConnectedTo(&peer), VFW_E_NOT_CONNECTED);
}

}  // namespace
