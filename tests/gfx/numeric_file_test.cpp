// Numeric data files and the data buffers made from them.
#include "gfx/buffer_data_runtime.h"
#include "gfx/numeric_file.h"
#include "tests/gfx/recording_fixture.h"

#include <gmock/gmock.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>

using namespace Orvo::Gfx;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

class DataFile : public RecordingTest {
  protected:
    std::vector<std::string> written;

    void TearDown() override {
        for (const std::string& path : written) std::remove(path.c_str());
        RecordingTest::TearDown();
    }

    // A source naming a new file that holds `text` byte for byte.
    DataSourceDesc fileSource(const std::string& text, int32_t elementType) {
        const std::string path = ::testing::TempDir() + "gfx_numeric_" +
                                 ::testing::UnitTest::GetInstance()->current_test_info()->name() +
                                 std::to_string(written.size()) + ".txt";
        std::ofstream(path, std::ios::binary) << text;
        written.push_back(path);
        DataSourceDesc source;
        source.elementType = elementType;
        std::snprintf(source.path, sizeof(source.path), "%s", path.c_str());
        return source;
    }

    template <class T> std::vector<T> load(const std::string& text, int32_t elementType) {
        DataSourceDesc source = fileSource(text, elementType);
        void* block = loadNumericFile(source);
        std::vector<T> values(source.elementCount);
        if (source.elementCount) std::memcpy(values.data(), source.elements, source.elementCount * sizeof(T));
        std::free(block);
        return values;
    }
    std::vector<int32_t> ints(const std::string& text) { return load<int32_t>(text, ElementInt32); }
};

TEST_F(DataFile, CommasAndSpacesSeparateAndEmptyFieldsAddNothing) {
    EXPECT_THAT(ints("1, 2, 3"), ElementsAre(1, 2, 3));
    EXPECT_THAT(ints("1,,2"), ElementsAre(1, 2));
    EXPECT_THAT(ints(""), ElementsAre());
    EXPECT_THAT(ints(" ,, \n ,\n"), ElementsAre());
    EXPECT_THAT(ints("  -5,6  "), ElementsAre(-5, 6));
}

TEST_F(DataFile, LineFeedEndsNoTokenOnlySkipsWhereATokenWouldStart) {
    // "2\n3" is one token that converts to 2.
    EXPECT_THAT(ints("1 2\n3 4"), ElementsAre(1, 2, 4));
    EXPECT_THAT(ints("1 \n2"), ElementsAre(1, 2));
    EXPECT_THAT(ints("1,\n2"), ElementsAre(1, 2));
    EXPECT_THAT(ints("\n\n7\n"), ElementsAre(7));
}

TEST_F(DataFile, CarriageReturnIsAnOrdinaryTokenCharacter) {
    EXPECT_THAT(ints("5\r 6\r\n"), ElementsAre(5, 6));
    EXPECT_THAT(ints("1\r\n2"), ElementsAre(1)); // one token: 1, CR, LF, 2
    EXPECT_THAT(ints("\r 3"), ElementsAre(0, 3));
}

TEST_F(DataFile, TokensConvertByTheirLeadingNumericPart) {
    EXPECT_THAT(ints("12abc x -3.5 +4"), ElementsAre(12, 0, -3, 4));
    EXPECT_THAT(load<float>("0.5 1e3 -2 abc 2.5e-1x", ElementFloat32),
                ElementsAre(0.5f, 1000.0f, -2.0f, 0.0f, 0.25f));
}

TEST_F(DataFile, BytesKeepTheLowEightBits) {
    EXPECT_THAT(load<uint8_t>("300 -1 7 256", ElementByte), ElementsAre(44, 255, 7, 0));
}

TEST_F(DataFile, OutOfRangeNumbersSaturateInsteadOfBeingUndefined) {
    EXPECT_THAT(ints("99999999999 -99999999999"), ElementsAre(2147483647, -2147483647 - 1));
    const auto floats = load<float>("1e300 -1e300", ElementFloat32);
    ASSERT_EQ(floats.size(), 2u);
    EXPECT_EQ(floats[0], std::numeric_limits<float>::infinity());
    EXPECT_EQ(floats[1], -std::numeric_limits<float>::infinity());
}

TEST_F(DataFile, TextEndsAtAnEmbeddedNul) {
    EXPECT_THAT(ints(std::string("1 2\0 3", 6)), ElementsAre(1, 2));
}

TEST_F(DataFile, UnreadableFileReportsOnceAndGivesNoElements) {
    DataSourceDesc source;
    source.elementType = ElementInt32;
    std::snprintf(source.path, sizeof(source.path), "%s", "/nonexistent/mirelandt/data.txt");
    source.elementCount = 40; // a stale count must not survive: there is no block behind it
    BufferDataRuntime buffer;
    ::testing::internal::CaptureStderr();
    buffer.init(source, false);
    const std::string errors = ::testing::internal::GetCapturedStderr();
    EXPECT_THAT(errors, HasSubstr("/nonexistent/mirelandt/data.txt"));
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1);
    EXPECT_EQ(buffer.source.elementCount, 0u);
    EXPECT_EQ(buffer.source.elements, nullptr);
    EXPECT_EQ(buffer.getSRV(false), nullptr);
    EXPECT_TRUE(takeLog().empty()); // no buffer, no views
}

TEST_F(DataFile, DirectoryAndUnterminatedPathAreRefusedCleanly) {
    DataSourceDesc source;
    std::snprintf(source.path, sizeof(source.path), "%s", ::testing::TempDir().c_str());
    BufferDataRuntime directory;
    ::testing::internal::CaptureStderr();
    directory.init(source, false);
    std::memset(source.path, 'x', sizeof(source.path)); // no terminator anywhere
    BufferDataRuntime unterminated;
    unterminated.init(source, false);
    const std::string errors = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 2);
    EXPECT_EQ(directory.source.elementCount, 0u);
    EXPECT_EQ(unterminated.source.elementCount, 0u);
    EXPECT_TRUE(takeLog().empty());
}

TEST_F(DataFile, ByteBufferOfThreeElementsIsSixteenBytesWithTypedViews) {
    BufferDataRuntime buffer;
    buffer.init(fileSource("300, -1, 7", ElementByte), true);
    EXPECT_THAT(takeLog(),
                ElementsAre("CreateBuffer bytes=16 bind=0x88 misc=0x0 stride=1 data=yes -> buffer1",
                            "CreateShaderResourceView buffer1 format=62 dim=buffer elements=0+3 -> srv1",
                            "CreateUnorderedAccessView buffer1 format=62 dim=buffer elements=0+3 -> uav1"));
    EXPECT_FALSE(buffer.doubleBuffered);
    EXPECT_THAT(recording::bufferContents(buffer.getResource(false)),
                ElementsAre(44, 255, 7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0));
}

TEST_F(DataFile, SuppliedBlockIsUsedInPlaceAndTheFileSystemIsNotTouched) {
    const int32_t table[5] = {10, -20, 30, -40, 50};
    DataSourceDesc source;
    source.elementType = ElementInt32;
    std::snprintf(source.path, sizeof(source.path), "%s", "/nonexistent/never-opened.txt");
    source.elements = table;
    source.elementCount = 5;
    BufferDataRuntime buffer;
    ::testing::internal::CaptureStderr();
    buffer.init(source, false);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(buffer.source.elements, table);
    EXPECT_EQ(buffer.loadedElements, nullptr);
    EXPECT_THAT(takeLog(),
                ElementsAre("CreateBuffer bytes=32 bind=0x88 misc=0x0 stride=4 data=yes -> buffer1",
                            "CreateShaderResourceView buffer1 format=43 dim=buffer elements=0+5 -> srv1",
                            "CreateUnorderedAccessView buffer1 format=43 dim=buffer elements=0+5 -> uav1"));
    int32_t uploaded[5];
    std::memcpy(uploaded, recording::bufferContents(buffer.getResource(false)).data(), sizeof(uploaded));
    EXPECT_THAT(uploaded, ElementsAre(10, -20, 30, -40, 50));
}

TEST_F(DataFile, FloatFileBecomesAFloatBufferAndReleaseFreesTheLoadedBlock) {
    BufferDataRuntime buffer;
    buffer.init(fileSource("0.25 0.5\n", ElementFloat32), false);
    EXPECT_EQ(buffer.source.elementCount, 2u);
    ASSERT_NE(buffer.loadedElements, nullptr);
    EXPECT_EQ(buffer.source.elements, buffer.loadedElements);
    EXPECT_EQ(takeLog()[1], "CreateShaderResourceView buffer1 format=41 dim=buffer elements=0+2 -> srv1");
    buffer.release();
    EXPECT_EQ(buffer.loadedElements, nullptr);
    EXPECT_EQ(buffer.source.elements, nullptr);
    EXPECT_EQ(buffer.getResource(false), nullptr);
}

} // namespace
