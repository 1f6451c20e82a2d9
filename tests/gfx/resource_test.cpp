// Textures and buffers: what each kind asks the device for, and which copy the getters hand out.
#include "gfx/buffer_runtime.h"
#include "gfx/texture_runtime.h"
#include "tests/gfx/recording_fixture.h"

#include <gmock/gmock.h>

using namespace Orvo::Gfx;
using ::testing::ElementsAre;

namespace {

TextureDesc texture2D(uint32_t width, uint32_t height, int32_t format = 3, bool mips = false) {
    TextureDesc desc;
    desc.dimension = 1;
    desc.width = width;
    desc.height = height;
    desc.format = format;
    desc.generateMips = mips;
    return desc;
}

using TextureCreation = RecordingTest;

TEST_F(TextureCreation, ColourTextureGetsUnorderedAccessShaderResourceAndRenderTargetViews) {
    TextureRuntime texture;
    texture.init(texture2D(1000, 600, 3, true), false);
    EXPECT_THAT(takeLog(),
                ElementsAre("CreateTexture2D 1000x600 mips=10 format=10 bind=0xa8 misc=0x1 -> texture1",
                            "CreateUnorderedAccessView texture1 format=10 dim=2D mip=0 -> uav1",
                            "CreateShaderResourceView texture1 format=10 dim=2D mip=0 levels=10 -> srv1",
                            "CreateRenderTargetView texture1 format=10 mip=0 -> rtv1"));
}

TEST_F(TextureCreation, WithoutMipsOneLevelStillRenderTarget) {
    TextureRuntime texture;
    texture.init(texture2D(1000, 600), false);
    EXPECT_EQ(takeLog()[0], "CreateTexture2D 1000x600 mips=1 format=10 bind=0xa8 misc=0x0 -> texture1");
}

TEST_F(TextureCreation, MipCountFollowsTheLargestExtent) {
    TextureDesc desc = texture2D(1024, 8, 3, true);
    EXPECT_EQ(textureMipLevels(desc), 11u);
    desc.width = 1;
    desc.height = 0;
    EXPECT_EQ(textureMipLevels(desc), 1u);
    desc.height = 1000;
    EXPECT_EQ(textureMipLevels(desc), 10u);
    desc.dimension = 0; // 1D: only the width counts
    EXPECT_EQ(textureMipLevels(desc), 1u);
    desc.dimension = 2; // 3D: the depth counts too
    desc.depth = 4096;
    EXPECT_EQ(textureMipLevels(desc), 13u);
    desc.format = 6; // depth formats never get a chain
    EXPECT_EQ(textureMipLevels(desc), 1u);
}

TEST_F(TextureCreation, DepthTextureHasOnlyADepthStencilView) {
    TextureRuntime texture;
    texture.init(texture2D(640, 480, 6, true), true);
    EXPECT_THAT(takeLog(),
                ElementsAre("CreateTexture2D 640x480 mips=1 format=40 bind=0x40 misc=0x0 -> texture1",
                            "CreateTexture2D 640x480 mips=1 format=40 bind=0x40 misc=0x0 -> texture2",
                            "CreateDepthStencilView texture1 format=40 mip=0 -> dsv1"));
    EXPECT_EQ(recording::labelOf(texture.getDSV()), "dsv1");
    for (bool other : {false, true}) {
        EXPECT_EQ(texture.getSRV(other), nullptr);
        EXPECT_EQ(texture.getUAV(other), nullptr);
        EXPECT_EQ(texture.getRTV(other), nullptr);
    }
    texture.init(texture2D(16, 16, 5), false);
    EXPECT_EQ(takeLog().back(), "CreateDepthStencilView texture3 format=45 mip=0 -> dsv2");
}

TEST_F(TextureCreation, OneAndThreeDimensionalTexturesRenderOnlyForTheirMips) {
    TextureDesc desc;
    desc.dimension = 0;
    desc.width = 256;
    desc.format = 0;
    TextureRuntime line;
    line.init(desc, false);
    EXPECT_THAT(takeLog(),
                ElementsAre("CreateTexture1D 256 mips=1 format=41 bind=0x88 misc=0x0 -> texture1",
                            "CreateUnorderedAccessView texture1 format=41 dim=1D mip=0 -> uav1",
                            "CreateShaderResourceView texture1 format=41 dim=1D mip=0 levels=1 -> srv1"));
    desc.dimension = 2;
    desc.width = 32;
    desc.height = 16;
    desc.depth = 4;
    desc.format = 4;
    desc.generateMips = true;
    TextureRuntime volume;
    volume.init(desc, false);
    EXPECT_THAT(takeLog(),
                ElementsAre("CreateTexture3D 32x16x4 mips=6 format=2 bind=0xa8 misc=0x1 -> texture2",
                            "CreateUnorderedAccessView texture2 format=2 dim=3D mip=0 slices=0+4 -> uav2",
                            "CreateShaderResourceView texture2 format=2 dim=3D mip=0 levels=6 -> srv2"));
}

TEST_F(TextureCreation, ZeroExtentsBecomeOne) {
    TextureDesc desc = texture2D(0, 0);
    desc.dimension = 2;
    desc.depth = 0;
    TextureRuntime texture;
    texture.init(desc, false);
    EXPECT_EQ(takeLog()[0], "CreateTexture3D 1x1x1 mips=1 format=10 bind=0x88 misc=0x0 -> texture1");
}

TEST_F(TextureCreation, DoubleBufferedMakesEachViewForAThenB) {
    TextureRuntime texture;
    texture.init(texture2D(8, 8, 1), true);
    EXPECT_THAT(takeLog(),
                ElementsAre("CreateTexture2D 8x8 mips=1 format=28 bind=0xa8 misc=0x0 -> texture1",
                            "CreateTexture2D 8x8 mips=1 format=28 bind=0xa8 misc=0x0 -> texture2",
                            "CreateUnorderedAccessView texture1 format=28 dim=2D mip=0 -> uav1",
                            "CreateUnorderedAccessView texture2 format=28 dim=2D mip=0 -> uav2",
                            "CreateShaderResourceView texture1 format=28 dim=2D mip=0 levels=1 -> srv1",
                            "CreateShaderResourceView texture2 format=28 dim=2D mip=0 levels=1 -> srv2",
                            "CreateRenderTargetView texture1 format=28 mip=0 -> rtv1",
                            "CreateRenderTargetView texture2 format=28 mip=0 -> rtv2"));
}

TEST_F(TextureCreation, DimensionOrFormatOutsideTheTablesCreatesNothing) {
    TextureRuntime texture;
    texture.init(texture2D(8, 8, 8), false);
    TextureDesc desc = texture2D(8, 8);
    desc.dimension = 3;
    texture.init(desc, false);
    desc.dimension = 1;
    desc.format = -1;
    texture.init(desc, false);
    EXPECT_TRUE(takeLog().empty());
    EXPECT_EQ(texture.getResource(false), nullptr);
}

using Getters = RecordingTest;

TEST_F(Getters, SingleBufferedTextureAlwaysGivesA) {
    TextureRuntime texture;
    texture.init(texture2D(4, 4), false);
    for (int frame = 0; frame < 3; ++frame) {
        for (bool other : {false, true}) {
            EXPECT_EQ(recording::labelOf(texture.getResource(other)), "texture1");
            EXPECT_EQ(recording::labelOf(texture.getUAV(other)), "uav1");
            EXPECT_EQ(recording::labelOf(texture.getSRV(other)), "srv1");
            EXPECT_EQ(recording::labelOf(texture.getRTV(other)), "rtv1");
        }
        texture.flipped = !texture.flipped;
    }
}

TEST_F(Getters, DoubleBufferedGivesTheCurrentCopyOrTheOtherOne) {
    TextureRuntime texture;
    texture.init(texture2D(4, 4), true);
    EXPECT_EQ(recording::labelOf(texture.getRTV(false)), "rtv1");
    EXPECT_EQ(recording::labelOf(texture.getSRV(true)), "srv2");
    EXPECT_EQ(recording::labelOf(texture.getResource(true)), "texture2");
    texture.flipped = true;
    EXPECT_EQ(recording::labelOf(texture.getRTV(false)), "rtv2");
    EXPECT_EQ(recording::labelOf(texture.getUAV(false)), "uav2");
    EXPECT_EQ(recording::labelOf(texture.getSRV(true)), "srv1");
    EXPECT_EQ(recording::labelOf(texture.getResource(false)), "texture2");

    BufferRuntime buffer;
    buffer.init(BufferDesc{}, true);
    buffer.flipped = true;
    EXPECT_EQ(recording::labelOf(buffer.getUAV(false)), "uav4");
    EXPECT_EQ(recording::labelOf(buffer.getSRV(true)), "srv3");
    EXPECT_EQ(buffer.getRTV(false), nullptr);
    EXPECT_EQ(buffer.getDSV(), nullptr);
}

using TextureOperations = RecordingTest;

TEST_F(TextureOperations, UploadRegionWritesLevelZeroOfCopyAOnly) {
    TextureRuntime texture;
    texture.init(texture2D(64, 32), true);
    takeLog();
    const std::vector<uint8_t> texels(100 * 40 * 8);
    texture.uploadRegion(texels.data(), 16, 8, 8);
    texture.uploadRegion(texels.data(), 100, 40, 8); // clipped to the texture
    EXPECT_THAT(takeLog(), ElementsAre("UpdateSubresource texture1 0 box=0,0,0-16,8,1 pitch=128,0",
                                       "UpdateSubresource texture1 0 box=0,0,0-64,32,1 pitch=800,0"));
}

TEST_F(TextureOperations, GenerateMipsActsOnlyOnTexturesMadeWithMips) {
    TextureRuntime plain, chained, depth;
    plain.init(texture2D(64, 64), true);
    chained.init(texture2D(64, 64, 3, true), true);
    TextureDesc depthDesc = texture2D(64, 64, 6);
    depthDesc.generateMips = true;
    depth.init(depthDesc, false);
    takeLog();
    plain.generateMips();
    chained.generateMips();
    depth.generateMips();
    EXPECT_THAT(takeLog(), ElementsAre("GenerateMips srv3", "GenerateMips srv4"));
}

TEST_F(TextureOperations, ReleaseDropsEveryObjectAndInitMakesThemAgain) {
    TextureRuntime texture;
    texture.init(texture2D(4, 4), true);
    texture.release();
    for (bool other : {false, true}) {
        EXPECT_EQ(texture.getResource(other), nullptr);
        EXPECT_EQ(texture.getSRV(other), nullptr);
        EXPECT_EQ(texture.getUAV(other), nullptr);
        EXPECT_EQ(texture.getRTV(other), nullptr);
    }
    EXPECT_EQ(texture.desc.width, 4u); // the descriptor is kept
    texture.init(texture.desc, false);
    EXPECT_EQ(recording::labelOf(texture.getRTV(true)), "rtv3");
}

using BufferCreation = RecordingTest;

BufferDesc structured(uint32_t stride, uint32_t x, uint32_t y = 1, uint32_t z = 1) {
    BufferDesc desc;
    desc.stride = stride;
    desc.countX = x;
    desc.countY = y;
    desc.countZ = z;
    return desc;
}

TEST_F(BufferCreation, StructuredBufferWithViewsOverAllElements) {
    BufferRuntime buffer;
    buffer.init(structured(16, 256), false);
    EXPECT_THAT(takeLog(),
                ElementsAre("CreateBuffer bytes=4096 bind=0x88 misc=0x40 stride=16 data=no -> buffer1",
                            "CreateShaderResourceView buffer1 format=0 dim=buffer elements=0+256 -> srv1",
                            "CreateUnorderedAccessView buffer1 format=0 dim=buffer elements=0+256 -> uav1"));
}

TEST_F(BufferCreation, ByteWidthRoundsUpToSixteen) {
    EXPECT_EQ(bufferByteWidth(structured(16, 256)), 4096u);
    EXPECT_EQ(bufferByteWidth(structured(4, 3)), 16u);
    EXPECT_EQ(bufferByteWidth(structured(4, 2, 3, 5)), 128u);
    EXPECT_EQ(bufferByteWidth(structured(4, 0)), 0u);
    // Beyond 32 bits there is no byte width; a wrapped product would have given 16.
    EXPECT_EQ(bufferByteWidth(structured(16, 0x10000000u, 1, 1)), 0u);
    EXPECT_EQ(bufferByteWidth(structured(4, 65536, 65536, 1)), 0u);
}

TEST_F(BufferCreation, ZeroOrOversizedElementCountsCreateNothing) {
    BufferRuntime empty, huge;
    empty.init(structured(4, 0), false);
    huge.init(structured(4, 65536, 65536, 1), true);
    EXPECT_TRUE(takeLog().empty());
    EXPECT_EQ(huge.getSRV(false), nullptr);
}

TEST_F(BufferCreation, InitialDataGoesToAAndNotToB) {
    const uint32_t values[4] = {1, 2, 3, 4};
    BufferDesc desc = structured(4, 4);
    desc.initialData = values;
    BufferRuntime buffer;
    buffer.init(desc, true);
    EXPECT_THAT(takeLog(),
                ElementsAre("CreateBuffer bytes=16 bind=0x88 misc=0x40 stride=4 data=yes -> buffer1",
                            "CreateShaderResourceView buffer1 format=0 dim=buffer elements=0+4 -> srv1",
                            "CreateUnorderedAccessView buffer1 format=0 dim=buffer elements=0+4 -> uav1",
                            "CreateBuffer bytes=16 bind=0x88 misc=0x40 stride=4 data=no -> buffer2",
                            "CreateShaderResourceView buffer2 format=0 dim=buffer elements=0+4 -> srv2",
                            "CreateUnorderedAccessView buffer2 format=0 dim=buffer elements=0+4 -> uav2"));
    const auto& contents = recording::bufferContents(buffer.getResource(false));
    ASSERT_EQ(contents.size(), 16u);
    EXPECT_EQ(contents[4], 2);
    EXPECT_EQ(contents[12], 4);
}

TEST_F(BufferCreation, ShortInitialDataIsPaddedNotOverRead) {
    // 3 elements of 4 bytes in a 16-byte buffer: the device must not read past the 12-byte block.
    const auto block = std::make_unique<uint32_t[]>(3);
    block[0] = 7;
    block[1] = 8;
    block[2] = 9;
    BufferDesc desc = structured(4, 3);
    desc.initialData = block.get();
    BufferRuntime buffer;
    buffer.init(desc, false);
    const auto& contents = recording::bufferContents(buffer.getResource(false));
    EXPECT_THAT(contents, ElementsAre(7, 0, 0, 0, 8, 0, 0, 0, 9, 0, 0, 0, 0, 0, 0, 0));
}

TEST_F(BufferCreation, ConstantBufferHasNoViewsAndNoSecondCopy) {
    BufferDesc desc = structured(1024, 1);
    desc.constant = true;
    BufferRuntime buffer;
    buffer.init(desc, true);
    EXPECT_THAT(takeLog(),
                ElementsAre("CreateBuffer bytes=1024 bind=0x4 misc=0x0 stride=1024 data=no -> buffer1"));
    EXPECT_EQ(buffer.getSRV(false), nullptr);
    EXPECT_EQ(buffer.getUAV(false), nullptr);
}

TEST_F(BufferCreation, ReleaseDropsBuffersAndViews) {
    BufferRuntime buffer;
    buffer.init(structured(4, 8), true);
    buffer.release();
    for (bool other : {false, true}) {
        EXPECT_EQ(buffer.getResource(other), nullptr);
        EXPECT_EQ(buffer.getSRV(other), nullptr);
        EXPECT_EQ(buffer.getUAV(other), nullptr);
    }
}

TEST(ResourceWithoutDevice, CreationDoesNothing) {
    // Before installation there is no device: resources stay empty instead of crashing.
    Orvo::Gfx::releaseFrameContext();
    TextureRuntime texture;
    texture.init(texture2D(4, 4), true);
    BufferRuntime buffer;
    buffer.init(structured(4, 4), true);
    EXPECT_EQ(texture.getResource(false), nullptr);
    EXPECT_EQ(buffer.getResource(false), nullptr);
}

} // namespace
