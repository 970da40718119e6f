// The page pictures and the icon, drawn from their sources and read back through the framework, the
// way the paint handler loads them: the pixels must be those the build drew.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "Resource.h"
#include "platform/afx/Afx.h"
#include "platform/afx/AfxRes.h"

namespace {

struct Rgb {
    int r, g, b;
};

std::string Describe(const Rgb& c) {
    return "(" + std::to_string(c.r) + ", " + std::to_string(c.g) + ", " + std::to_string(c.b) + ")";
}

// The five page colours: both ends of their left-to-right gradients.
struct Gradient {
    Rgb left, right;
};
constexpr Gradient kRed{{180, 1, 7}, {231, 58, 26}};
constexpr Gradient kGreen{{34, 144, 45}, {135, 192, 35}};
constexpr Gradient kBlue{{0, 70, 139}, {0, 117, 187}};
constexpr Gradient kYellow{{251, 176, 59}, {252, 237, 34}};
constexpr Gradient kPurple{{103, 45, 145}, {146, 39, 143}};

constexpr Rgb kBackground{242, 242, 242};
constexpr Rgb kWhite{255, 255, 255};

// A surface painted with a gradient from its left column to its right one, both included.
struct Surface {
    const char* name;
    int left, right;
    Gradient colours;

    Rgb At(int x) const {
        const double t = (x + 0.5 - left) / (right + 1 - left);
        const auto mix = [t](int a, int b) { return static_cast<int>(std::lround(a + (b - a) * t)); };
        return {mix(colours.left.r, colours.right.r), mix(colours.left.g, colours.right.g),
                mix(colours.left.b, colours.right.b)};
    }
};
constexpr Surface kTerminalTile{"red TERMINAL tile", 35, 160, kRed};
constexpr Surface kThermalTile{"green THERMAL tile", 245, 370, kGreen};
constexpr Surface kPowerTile{"blue POWER STATUS tile", 449, 574, kBlue};
constexpr Surface kAdvancedTile{"yellow ADVANCED tile", 663, 788, kYellow};
constexpr Surface kExitTile{"purple EXIT tile", 867, 992, kPurple};
constexpr Surface kYesField{"green YES field", 543, 717, kGreen};
constexpr Surface kNoField{"red NO field", 543, 717, kRed};
constexpr Surface kPlain{"background", 0, 1023, {kBackground, kBackground}};

constexpr UINT kPictures[] = {IDB_WAIT_ACTIVATION, IDB_TERMINAL_STATUS,  IDB_THERMAL, IDB_POWER, IDB_IO,
                              IDB_EXIT_CONFIRM,    IDB_WAIT_EXIT_CONFIRM};
constexpr UINT kDataPages[] = {IDB_TERMINAL_STATUS, IDB_THERMAL, IDB_POWER, IDB_IO};

// A picture selected into a memory context, as the paint handler holds it.
class Picture {
public:
    explicit Picture(UINT nID) {
        m_bLoaded = m_bitmap.LoadBitmap(nID);
        m_dc.CreateCompatibleDC(nullptr);
        m_dc.SelectObject(&m_bitmap);
    }
    ~Picture() {
        m_dc.SelectObject(static_cast<CBitmap*>(nullptr));
        m_dc.DeleteDC();
    }
    bool Loaded() const { return m_bLoaded; }
    BITMAP Info() const {
        BITMAP info{};
        m_bitmap.GetBitmap(&info);
        return info;
    }
    Rgb Pixel(int x, int y) const {
        const COLORREF c = m_dc.GetPixel(x, y);
        return {static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                static_cast<int>((c >> 16) & 0xFF)};
    }

private:
    bool m_bLoaded = false;
    CBitmap m_bitmap;
    CDC m_dc;
};

// Every pixel of the square of the given radius round (x, y) shows the surface's colour there.
testing::AssertionResult PatchShows(const Picture& picture, int x, int y, int radius, const Surface& surface,
                                    int tolerance) {
    for (int py = y - radius; py <= y + radius; ++py) {
        for (int px = x - radius; px <= x + radius; ++px) {
            const Rgb want = surface.At(px);
            const Rgb got = picture.Pixel(px, py);
            if (std::abs(got.r - want.r) > tolerance || std::abs(got.g - want.g) > tolerance ||
                std::abs(got.b - want.b) > tolerance)
                return testing::AssertionFailure()
                       << "pixel (" << px << ", " << py << ") is " << Describe(got) << ", the "
                       << surface.name << " is " << Describe(want);
        }
    }
    return testing::AssertionSuccess();
}

// Pixels of the rectangle (both ends included) that are not of the colour.
int PixelsOtherThan(const Picture& picture, const Rgb& colour, int left, int right, int top, int bottom) {
    int n = 0;
    for (int y = top; y <= bottom; ++y) {
        for (int x = left; x <= right; ++x) {
            const Rgb c = picture.Pixel(x, y);
            n += c.r != colour.r || c.g != colour.g || c.b != colour.b;
        }
    }
    return n;
}

// Pixels of the rectangle darker than mid grey: strokes of text or drawing.
int DarkPixels(const Picture& picture, int left, int right, int top, int bottom) {
    int n = 0;
    for (int y = top; y <= bottom; ++y) {
        for (int x = left; x <= right; ++x) {
            const Rgb c = picture.Pixel(x, y);
            n += c.r + c.g + c.b < 3 * 128;
        }
    }
    return n;
}

// Centre of a hot area of the main dialog in picture pixels: 2 px across and 2.25 px down per unit.
struct Point {
    int x, y;
};
Point HotAreaCentre(UINT nID) {
    const AFX_DLGTEMPLATE* pDialog = AfxFindDialogTemplate(IDD_QUILLON_DIALOG);
    for (std::size_t i = 0; pDialog && i < pDialog->nItems; ++i) {
        const AFX_DLGITEM& item = pDialog->pItems[i];
        if (item.nID == nID) {
            return {item.x * 2 + item.cx, static_cast<int>(std::lround((item.y + item.cy / 2.0) * 2.25))};
        }
    }
    ADD_FAILURE() << "no hot area " << nID;
    return {-100, -100};
}

TEST(Pictures, AreFullPagesOnTheLightGreyBackground) {
    for (UINT id : kPictures) {
        SCOPED_TRACE(id);
        const Picture picture(id);
        ASSERT_TRUE(picture.Loaded());
        const BITMAP info = picture.Info();
        EXPECT_EQ(info.bmWidth, 1024);
        EXPECT_EQ(info.bmHeight, 768);
        EXPECT_EQ(info.bmBitsPixel, 24);
        // The margins round the panels and between the row of tiles and the window's edges.
        EXPECT_EQ(PixelsOtherThan(picture, kBackground, 0, 1023, 0, 12), 0);
        EXPECT_EQ(PixelsOtherThan(picture, kBackground, 0, 26, 160, 600), 0);
        EXPECT_EQ(PixelsOtherThan(picture, kBackground, 1002, 1023, 170, 600), 0);
        EXPECT_EQ(PixelsOtherThan(picture, kBackground, 0, 1023, 590, 603), 0);
        EXPECT_EQ(PixelsOtherThan(picture, kBackground, 0, 1023, 748, 767), 0);
    }
}

TEST(Pictures, CarryTheWordMarkProductNameAndBadge) {
    const Surface badge{"badge", 0, 1023, {{61, 156, 50}, {61, 156, 50}}};
    for (UINT id : kPictures) {
        SCOPED_TRACE(id);
        const Picture picture(id);
        ASSERT_TRUE(picture.Loaded());
        // Mid grey letters, then black ones with nothing dark above or below them.
        const Rgb grey = picture.Pixel(58, 60);
        EXPECT_TRUE(grey.r == grey.g && grey.g == grey.b && grey.r > 100 && grey.r < 180) << Describe(grey);
        EXPECT_GT(DarkPixels(picture, 550, 864, 60, 91), 1500);
        EXPECT_EQ(DarkPixels(picture, 400, 870, 0, 50) + DarkPixels(picture, 400, 870, 100, 140), 0);
        // The green disc, left of the short name inside its ring.
        EXPECT_TRUE(PatchShows(picture, 899, 79, 1, badge, 24));
    }
}

// Which surface the centre of each hot area shown on a page lies on.
struct HotAreaRow {
    UINT picture;
    UINT hotArea;
    const Surface& surface;
};
const HotAreaRow kHotAreas[] = {
    {IDB_WAIT_ACTIVATION, IDC_START_EXIT, kExitTile},
    // The start screen and its exit question have no other tile: the hidden areas' places are bare.
    {IDB_WAIT_ACTIVATION, IDC_PAGE_TERMINAL_STATUS, kPlain},
    {IDB_WAIT_ACTIVATION, IDC_PAGE_THERMAL, kPlain},
    {IDB_WAIT_ACTIVATION, IDC_PAGE_POWER, kPlain},
    {IDB_WAIT_ACTIVATION, IDC_PAGE_IO_COM, kPlain},
    {IDB_WAIT_EXIT_CONFIRM, IDC_START_EXIT, kExitTile},
    {IDB_WAIT_EXIT_CONFIRM, IDC_START_EXIT_YES, kYesField},
    {IDB_WAIT_EXIT_CONFIRM, IDC_START_EXIT_NO, kNoField},
    {IDB_WAIT_EXIT_CONFIRM, IDC_PAGE_TERMINAL_STATUS, kPlain},
    {IDB_WAIT_EXIT_CONFIRM, IDC_PAGE_THERMAL, kPlain},
    {IDB_WAIT_EXIT_CONFIRM, IDC_PAGE_POWER, kPlain},
    {IDB_WAIT_EXIT_CONFIRM, IDC_PAGE_IO_COM, kPlain},
    {IDB_EXIT_CONFIRM, static_cast<UINT>(IDCANCEL), kYesField},
    {IDB_EXIT_CONFIRM, IDC_EXIT_NO, kNoField},
};

std::vector<HotAreaRow> AllHotAreaRows() {
    std::vector<HotAreaRow> rows(std::begin(kHotAreas), std::end(kHotAreas));
    // The bottom row of every page that has one.
    for (UINT id : {IDB_TERMINAL_STATUS, IDB_THERMAL, IDB_POWER, IDB_IO, IDB_EXIT_CONFIRM}) {
        rows.push_back({id, IDC_PAGE_TERMINAL_STATUS, kTerminalTile});
        rows.push_back({id, IDC_PAGE_THERMAL, kThermalTile});
        rows.push_back({id, IDC_PAGE_POWER, kPowerTile});
        rows.push_back({id, IDC_PAGE_IO_COM, kAdvancedTile});
        rows.push_back({id, IDC_PAGE_IO, kAdvancedTile});
        rows.push_back({id, IDC_PAGE_EXIT, kExitTile});
    }
    return rows;
}

TEST(Pictures, HotAreaCentresLieOnTheirTilesAndFields) {
    for (const HotAreaRow& row : AllHotAreaRows()) {
        const Picture picture(row.picture);
        ASSERT_TRUE(picture.Loaded()) << row.picture;
        const Point centre = HotAreaCentre(row.hotArea);
        EXPECT_TRUE(PatchShows(picture, centre.x, centre.y, 3, row.surface, 8))
            << "hot area " << row.hotArea << " on picture " << row.picture;
    }
}

TEST(Pictures, TheIoPictureServesBothIoPages) {
    // The two I/O pages share picture 138: its one yellow tile lies under both of their hot areas.
    const Point withSupply = HotAreaCentre(IDC_PAGE_IO_COM);
    const Point withoutSupply = HotAreaCentre(IDC_PAGE_IO);
    EXPECT_EQ(withSupply.x, withoutSupply.x);
    EXPECT_EQ(withSupply.y, withoutSupply.y);
    const Picture picture(IDB_IO);
    ASSERT_TRUE(picture.Loaded());
    EXPECT_TRUE(PatchShows(picture, withSupply.x, withSupply.y, 3, kAdvancedTile, 8));
    EXPECT_TRUE(PatchShows(picture, 50, 124, 2, {"yellow header tab", 35, 384, kYellow}, 10));
}

// Header tab of each page, sampled near both its ends beside the title.
struct HeaderRow {
    UINT picture;
    const Gradient& colours;
};
constexpr HeaderRow kHeaders[] = {
    {IDB_TERMINAL_STATUS, kRed}, {IDB_THERMAL, kGreen},       {IDB_POWER, kBlue},
    {IDB_IO, kYellow},           {IDB_EXIT_CONFIRM, kPurple}, {IDB_WAIT_EXIT_CONFIRM, kPurple},
};

TEST(Pictures, HeaderTabsRunThroughTheirPageColours) {
    for (const HeaderRow& row : kHeaders) {
        SCOPED_TRACE(row.picture);
        const Picture picture(row.picture);
        ASSERT_TRUE(picture.Loaded());
        const Surface tab{"header tab", 35, 384, row.colours};
        EXPECT_TRUE(PatchShows(picture, 43, 124, 2, tab, 10));
        EXPECT_TRUE(PatchShows(picture, 376, 124, 2, tab, 10));
        // White capitals between them.
        int white = 0;
        for (int x = 50; x < 330; ++x)
            white += picture.Pixel(x, 124).g > 240 && picture.Pixel(x, 124).b > 240;
        EXPECT_GT(white, 10);
    }
    // The start screen has no header.
    const Picture start(IDB_WAIT_ACTIVATION);
    EXPECT_EQ(PixelsOtherThan(start, kBackground, 35, 384, 100, 148), 0);
}

TEST(Pictures, DataPagesHaveTwoEmptyWhitePanels) {
    for (UINT id : kDataPages) {
        SCOPED_TRACE(id);
        const Picture picture(id);
        ASSERT_TRUE(picture.Loaded());
        // Everything on them comes from the controls; their rounded corners are left out.
        EXPECT_EQ(PixelsOtherThan(picture, kWhite, 44, 420, 150, 571), 0);
        EXPECT_EQ(PixelsOtherThan(picture, kWhite, 458, 983, 167, 571), 0);
        EXPECT_EQ(PixelsOtherThan(picture, kBackground, 437, 442, 170, 570), 0);
    }
}

TEST(Pictures, StartScreenAsksToHoldTheButton) {
    const Picture picture(IDB_WAIT_ACTIVATION);
    ASSERT_TRUE(picture.Loaded());
    // One white panel, empty but for the request line and the drawing of the hand and the button.
    EXPECT_EQ(PixelsOtherThan(picture, kWhite, 46, 983, 168, 186), 0);
    EXPECT_EQ(PixelsOtherThan(picture, kWhite, 46, 390, 232, 569), 0);
    EXPECT_EQ(PixelsOtherThan(picture, kWhite, 710, 983, 232, 569), 0);
    EXPECT_GT(DarkPixels(picture, 94, 951, 196, 222), 4000);
    EXPECT_EQ(DarkPixels(picture, 46, 90, 190, 228) + DarkPixels(picture, 955, 983, 190, 228), 0);
    // The round dark button.
    EXPECT_GT(DarkPixels(picture, 450, 560, 380, 500), 6000);
}

TEST(Pictures, ExitQuestionsShowTheSignAndTheAnswers) {
    for (UINT id : {IDB_EXIT_CONFIRM, IDB_WAIT_EXIT_CONFIRM}) {
        SCOPED_TRACE(id);
        const Picture picture(id);
        ASSERT_TRUE(picture.Loaded());
        EXPECT_EQ(PixelsOtherThan(picture, kWhite, 46, 983, 168, 184), 0);
        EXPECT_EQ(PixelsOtherThan(picture, kWhite, 46, 310, 232, 569), 0);
        EXPECT_EQ(PixelsOtherThan(picture, kWhite, 730, 983, 232, 569), 0);
        EXPECT_GT(DarkPixels(picture, 315, 737, 193, 221), 2000);
        // A grey figure on the black field.
        EXPECT_TRUE(
            PatchShows(picture, 336, 276, 2, {"black field", 0, 1023, {{17, 17, 17}, {17, 17, 17}}}, 0));
        EXPECT_TRUE(PatchShows(picture, 407, 322, 2,
                               {"grey figure", 0, 1023, {{158, 158, 158}, {158, 158, 158}}}, 0));
        // White capitals on the fields, below their centres.
        int yes = 0, no = 0;
        for (int x = 560; x < 700; ++x) {
            yes += picture.Pixel(x, 342).b > 240;
            no += picture.Pixel(x, 472).b > 240;
        }
        EXPECT_GT(yes, 10);
        EXPECT_GT(no, 10);
    }
}

TEST(Icon, IsTheBadgeOfThePages) {
    for (UINT id : {IDR_MAINFRAME, IDI_ABOUT}) EXPECT_NE(AfxGetApp()->LoadIcon(id), nullptr) << id;
    // The framework decodes any picture resource as a bitmap: the icon shows the badge's green disc
    // at the place that matches the page's.
    const Picture icon(IDR_MAINFRAME);
    ASSERT_TRUE(icon.Loaded());
    EXPECT_EQ(icon.Info().bmWidth, 64);
    EXPECT_EQ(icon.Info().bmHeight, 64);
    const Picture page(IDB_TERMINAL_STATUS);
    const Rgb onPage = page.Pixel(899, 79);
    const Surface disc{"badge's disc", 0, 63, {onPage, onPage}};
    EXPECT_TRUE(PatchShows(icon, 12, 28, 1, disc, 12));
}

}  // namespace

// The pictures are first loaded as the program loads them, while the framework decodes them on its
// own thread; the tests then read what that gave. The icon is loaded through the application object.
class CPictureTestApp : public CWinApp {
public:
    BOOL InitInstance() override {
        for (UINT id : kPictures) CBitmap().LoadBitmap(id);
        return FALSE;
    }
};
CPictureTestApp g_testApp;

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::testing::InitGoogleTest(&argc, argv);
    AfxInitPlatform(argc, argv);
    AfxWinMain(argc, argv);
    return RUN_ALL_TESTS();
}
