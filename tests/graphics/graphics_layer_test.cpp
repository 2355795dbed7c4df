// The wrapper's own rules, checked on a counting fake interface and on real
// wrappers left empty.
#include "graphics_test_support.h"

namespace {

// Counts references; Present returns whatever the test asks for.
struct FakeSwapChain {
    ULONG Refs = 1;
    HRESULT Next = S_OK;
    int Calls = 0;
    UINT LastSync = 99, LastFlags = 99;
    ULONG AddRef() { return ++Refs; }
    ULONG Release() { return --Refs; }
    HRESULT Present(UINT sync, UINT flags) {
        ++Calls;
        LastSync = sync;
        LastFlags = flags;
        return Next;
    }
};

TEST(GraphicsLayer, PassesThroughAndStoresTheResult) {
    FakeSwapChain fake;
    fake.AddRef();  // the wrapper's reference
    {
        GraphicsLayer<FakeSwapChain> chain(&fake);
        EXPECT_TRUE(chain.Present(0, 0));
        EXPECT_EQ(chain.LastResult(), S_OK);
        EXPECT_EQ(fake.LastSync, 0u);

        // Only S_OK is success: S_FALSE and DXGI_STATUS_OCCLUDED are not.
        const HRESULT others[] = {S_FALSE, static_cast<HRESULT>(0x087A0001), E_FAIL,
                                  static_cast<HRESULT>(0x887A0005)};
        for (HRESULT hr : others) {
            fake.Next = hr;
            EXPECT_FALSE(chain.Present(1, 2));
            EXPECT_EQ(chain.LastResult(), hr);
        }
        EXPECT_EQ(fake.LastFlags, 2u);
        EXPECT_EQ(fake.Calls, 5);
    }
    EXPECT_EQ(fake.Refs, 1u);  // destroying the wrapper released its reference
}

TEST(GraphicsLayer, EmptyWrapperCallsNothingAndStoresOne) {
    GraphicsLayer<FakeSwapChain> chain;
    EXPECT_FALSE(chain.Present(0, 0));
    EXPECT_EQ(chain.LastResult(), EmptyWrapperResult);

    // Real kinds, empty: every operation fails the same way.
    DeviceContextLayer context;
    SolidBrushLayer brush;
    EXPECT_FALSE(context.BeginDraw());
    EXPECT_EQ(context.LastResult(), 1);
    EXPECT_FALSE(context.FillRectangle(D2D1_RECT_F{0, 0, 1, 1}, brush.Get()));
    EXPECT_EQ(context.GetSize().width, 0.0f);
    EffectLayer effect;
    EXPECT_FALSE(context.DrawEffect(effect));
    EXPECT_EQ(context.LastResult(), 1);
    EXPECT_FALSE(effect.SetValueFloat(0, 25.0f));
    EXPECT_EQ(effect.LastResult(), 1);
    EXPECT_FALSE(brush.SetColor(D2D1_COLOR_F{0, 0, 0, 1}));
    EXPECT_EQ(brush.LastResult(), 1);
    TextLayoutLayer layout;
    DWRITE_TEXT_METRICS metrics{};
    EXPECT_FALSE(layout.GetMetrics(metrics));
    WicFactoryLayer wic;
    WicBitmapLayer out;
    const uint8_t bytes[] = {1, 2, 3};
    EXPECT_FALSE(wic.DecodeFromMemory(bytes, out));
    EXPECT_EQ(wic.LastResult(), 1);
    EXPECT_TRUE(out.Empty());
    GraphicsLayer<IDWriteFactory> dwrite;
    TextFormatLayer format;
    EXPECT_FALSE(dwrite.CreateTextFormat("Microsoft Yahei UI", 14.0f, format));
    EXPECT_EQ(dwrite.LastResult(), 1);

    // Release clears the result again.
    context.Release();
    EXPECT_EQ(context.LastResult(), S_OK);
}

TEST(GraphicsLayer, AttachWithAndWithoutReference) {
    FakeSwapChain fake;
    {
        GraphicsLayer<FakeSwapChain> shared;
        shared.AttachAddRef(&fake);
        EXPECT_EQ(fake.Refs, 2u);
        GraphicsLayer<FakeSwapChain> adopted;
        fake.AddRef();
        adopted.Attach(&fake);
        EXPECT_EQ(fake.Refs, 3u);
        adopted.Attach(&fake);  // the same pointer again: no change
        EXPECT_EQ(fake.Refs, 3u);
        shared.Release();
        EXPECT_EQ(fake.Refs, 2u);
        EXPECT_TRUE(shared.Empty());
        // Put empties the wrapper before a creating call fills the slot.
        FakeSwapChain** slot = adopted.Put();
        EXPECT_EQ(*slot, nullptr);
        EXPECT_EQ(fake.Refs, 1u);
    }
    EXPECT_EQ(fake.Refs, 1u);
}

TEST(GraphicsLayer, MoveTransfersOwnership) {
    FakeSwapChain fake;
    fake.AddRef();
    GraphicsLayer<FakeSwapChain> first(&fake);
    GraphicsLayer<FakeSwapChain> second(std::move(first));
    EXPECT_TRUE(first.Empty());
    EXPECT_EQ(second.Get(), &fake);
    second = GraphicsLayer<FakeSwapChain>();
    EXPECT_EQ(fake.Refs, 1u);
}

TEST(DeviceLoss, ClassifiesResults) {
    struct Case {
        HRESULT Result;
        bool Lost;
    };
    const Case cases[] = {
        {static_cast<HRESULT>(0x8899000C), true},   // D2DERR_RECREATE_TARGET
        {static_cast<HRESULT>(0x887A0005), true},   // DXGI_ERROR_DEVICE_REMOVED
        {static_cast<HRESULT>(0x887A0006), true},   // DXGI_ERROR_DEVICE_HUNG
        {static_cast<HRESULT>(0x887A0007), true},   // DXGI_ERROR_DEVICE_RESET
        {static_cast<HRESULT>(0x887A0020), true},   // DXGI_ERROR_DRIVER_INTERNAL_ERROR
        {S_OK, false},
        {S_FALSE, false},
        {E_FAIL, false},
        {EmptyWrapperResult, false},
        {static_cast<HRESULT>(0x087A0001), false},  // DXGI_STATUS_OCCLUDED
        {static_cast<HRESULT>(0x88990001), false},  // D2DERR_UNSUPPORTED_PIXEL_FORMAT
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.Result);
        EXPECT_EQ(IsDeviceLost(c.Result), c.Lost);
    }
}

TEST(WindowsBuild, ReadsABuildNumber) {
    const uint32_t build = ReadWindowsBuild();
    EXPECT_GT(build, 0u);
    EXPECT_LE(build, 0xFFFFu);
}

}  // namespace
