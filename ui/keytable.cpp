// The surface table, the key table and the press pictures.
#include "ui/keytable.h"

namespace tapecalc {

namespace {
constexpr Feedback none = Feedback::none, digit = Feedback::digit, wide = Feedback::wide;
constexpr Tile square = Tile::square, wideTile = Tile::wide;
constexpr std::monostate noArgument{};
constexpr Element backdrop = Element::backdrop, picture = Element::picture,
                  caption = Element::caption, display = Element::display,
                  entryBox = Element::entryBox, frame = Element::frame,
                  tapeView = Element::tapeView, fileList = Element::fileList;
constexpr Rect placed{};
} // namespace

// clang-format off
constexpr std::array<SurfaceSpec, 14> surfaceTable{{
    // name      element    content                pt    rectangle                 placed by the panel   colour     accessible name  layer
    {"Image2",   backdrop,  ":/art/backdrop.png",  0,    {0, 0, 5295, 6375},       nullptr,              nullptr,   nullptr,         0},
    {"Image7",   backdrop,  ":/art/backdrop.png",  0,    {5280, 0, 4695, 6375},    nullptr,              nullptr,   nullptr,         67},
    {"Image3",   backdrop,  ":/art/strip.png",     0,    placed,                   &PanelState::image3,  nullptr,   nullptr,         2},
    {"Image4",   picture,   ":/art/strip.png",     0,    {240, 1680, 2295, 495},   nullptr,              nullptr,   nullptr,         1},
    {"Label1",   display,   nullptr,               18,   placed,                   &PanelState::label1,  "#FF0000", "结果",          3},
    {"Label2",   display,   nullptr,               18,   placed,                   &PanelState::label2,  "#000080", "运算符",        4},
    {"Label3",   caption,   "序号",                10.5, {360, 1800, 495, 345},    nullptr,              nullptr,   nullptr,         63},
    {"Label9",   display,   nullptr,               12,   {840, 1800, 1695, 360},   nullptr,              nullptr,   "序号",          64},
    {"Text1",    entryBox,  nullptr,               18,   placed,                   &PanelState::text1,   nullptr,   "输入",          81},
    {"Image13",  picture,   ":/art/banner.png",    0,    {240, 4680, 2325, 615},   nullptr,              nullptr,   "帮助网页",      76},
    {"Image14",  picture,   ":/art/helppanel.png", 0,    {240, 6960, 4815, 2895},  nullptr,              nullptr,   nullptr,         78},
    {"Shape1",   frame,     nullptr,               0,    placed,                   &PanelState::shape1,  nullptr,   nullptr,         77},
    {"Text2",    tapeView,  nullptr,               12,   {5280, 240, 1815, 4215},  nullptr,              nullptr,   "纸带",          83},
    {"File1",    fileList,  nullptr,               10.5, {7320, 240, 2085, 4230},  nullptr,              nullptr,   "纸带文件",      82},
}};
// clang-format on

// clang-format off
constexpr std::array<KeySpec, 35> keyTable{{
    // label       caption    pt      label rectangle           layer  background     background rectangle      layer  pictures  tile       action                  argument             accessible name
    {"Label5(0)",  "1",       26.25,  {320, 2280, 375, 495},    17,    "Image1(0)",   {240, 2280, 495, 495},    5,     digit,    square,    KeyAction::digit,       '1',                 "1"},
    {"Label5(1)",  "2",       26.25,  {920, 2280, 495, 495},    18,    "Image1(1)",   {840, 2280, 495, 495},    6,     digit,    square,    KeyAction::digit,       '2',                 "2"},
    {"Label5(2)",  "3",       26.25,  {1520, 2280, 495, 495},   19,    "Image1(2)",   {1440, 2280, 495, 495},   7,     digit,    square,    KeyAction::digit,       '3',                 "3"},
    {"Label5(3)",  "4",       26.25,  {2120, 2280, 375, 495},   20,    "Image1(3)",   {2040, 2280, 495, 495},   8,     digit,    square,    KeyAction::digit,       '4',                 "4"},
    {"Label5(4)",  "5",       26.25,  {320, 2880, 375, 495},    21,    "Image1(4)",   {240, 2880, 495, 495},    9,     digit,    square,    KeyAction::digit,       '5',                 "5"},
    {"Label5(5)",  "6",       26.25,  {920, 2880, 495, 495},    22,    "Image1(5)",   {840, 2880, 495, 495},    10,    digit,    square,    KeyAction::digit,       '6',                 "6"},
    {"Label5(6)",  "7",       26.25,  {1520, 2880, 495, 495},   23,    "Image1(6)",   {1440, 2880, 495, 495},   11,    digit,    square,    KeyAction::digit,       '7',                 "7"},
    {"Label5(7)",  "8",       26.25,  {2120, 2880, 495, 495},   24,    "Image1(7)",   {2040, 2880, 495, 495},   12,    digit,    square,    KeyAction::digit,       '8',                 "8"},
    {"Label5(8)",  "9",       26.25,  {320, 3480, 495, 495},    25,    "Image1(8)",   {240, 3480, 495, 495},    13,    digit,    square,    KeyAction::digit,       '9',                 "9"},
    {"Label5(9)",  "0",       26.25,  {920, 3480, 495, 495},    26,    "Image1(9)",   {840, 3480, 495, 495},    14,    digit,    square,    KeyAction::digit,       '0',                 "0"},
    {"Label6",     "-",       26.25,  {1530, 3480, 345, 495},   31,    "Image1(10)",  {1440, 3480, 495, 495},   15,    none,     square,    KeyAction::sign,        noArgument,          "负号"},
    {"Label7",     ".",       26.25,  {2040, 3480, 495, 495},   32,    "Image1(11)",  {2040, 3480, 495, 495},   16,    none,     square,    KeyAction::point,       noArgument,          "小数点"},
    {"Label8",     "加",       24,     {240, 4080, 495, 495},    33,    "Image1(15)",  {240, 4080, 495, 495},    30,    none,     square,    KeyAction::operation,   Operator::add,       "加"},
    {"Label10",    "减",       24,     {840, 4080, 495, 495},    34,    "Image1(14)",  {840, 4080, 495, 495},    29,    none,     square,    KeyAction::operation,   Operator::subtract,  "减"},
    {"Label11",    "乘",       24,     {1440, 4080, 495, 495},   35,    "Image1(13)",  {1440, 4080, 495, 495},   28,    none,     square,    KeyAction::operation,   Operator::multiply,  "乘"},
    {"Label12",    "除",       24,     {2040, 4080, 495, 495},   36,    "Image1(12)",  {2040, 4080, 495, 495},   27,    none,     square,    KeyAction::operation,   Operator::divide,    "除"},
    {"Label16",    "π",       18,     {2760, 1800, 495, 375},   53,    "Image1(17)",  {2760, 1680, 495, 495},   38,    wide,     wideTile,  KeyAction::function,    Function::pi,        "圆周率"},
    {"Label17",    " %",      15.75,  {3360, 1800, 495, 375},   54,    "Image1(20)",  {3360, 1680, 495, 495},   41,    wide,     wideTile,  KeyAction::function,    Function::percent,   "百分比"},
    {"Label18",    "sin",     12,     {2820, 2325, 495, 495},   55,    "Image1(22)",  {2760, 2280, 495, 495},   42,    wide,     wideTile,  KeyAction::function,    Function::sin,       "正弦"},
    {"Label19",    "cos",     12,     {3405, 2325, 495, 375},   56,    "Image1(23)",  {3360, 2280, 495, 495},   43,    wide,     wideTile,  KeyAction::function,    Function::cos,       "余弦"},
    {"Label20",    "tan",     12,     {2805, 2925, 495, 375},   57,    "Image1(24)",  {2760, 2880, 495, 495},   44,    wide,     wideTile,  KeyAction::function,    Function::tan,       "正切"},
    {"Label21",    " exp",    12,     {3300, 2925, 495, 375},   58,    "Image1(25)",  {3360, 2880, 495, 495},   45,    wide,     wideTile,  KeyAction::function,    Function::exp,       "指数"},
    {"Label22",    "sqr",     12,     {2820, 3520, 495, 375},   59,    "Image1(26)",  {2760, 3480, 495, 495},   46,    wide,     wideTile,  KeyAction::function,    Function::sqr,       "平方根"},
    {"Label23",    "log",     12,     {3400, 3520, 495, 375},   60,    "Image1(27)",  {3360, 3480, 495, 495},   47,    wide,     wideTile,  KeyAction::function,    Function::log,       "对数"},
    {"Label14",    " 回 退",    15,     {3960, 1800, 1095, 375},  51,    "Image1(18)",  {3960, 1680, 1095, 495},  39,    wide,     wideTile,  KeyAction::back,        noArgument,          "回退"},
    {"Label15",    " 向 前",    15,     {3960, 2400, 1095, 375},  52,    "Image1(19)",  {3960, 2280, 1095, 495},  40,    wide,     wideTile,  KeyAction::forward,     noArgument,          "向前"},
    {"Label13",    "  AC",    15.75,  {3960, 3000, 1095, 375},  50,    "Image1(16)",  {3960, 2880, 1095, 495},  37,    wide,     wideTile,  KeyAction::clearAll,    noArgument,          "归零"},
    {"Label33",    "  CE",    15.75,  {3960, 3570, 1095, 375},  75,    "Image12",     {3960, 3480, 1095, 495},  74,    wide,     square,    KeyAction::clearEntry,  noArgument,          "清除"},
    {"Label29",    "   =",    15,     {2760, 4200, 1095, 375},  66,    "Image1(33)",  {2760, 4080, 1095, 495},  65,    wide,     wideTile,  KeyAction::equals,      noArgument,          "等于"},
    {"Label27",    " 展 开",    15,     {3960, 4200, 1095, 375},  61,    "Image1(31)",  {3960, 4080, 1095, 495},  49,    wide,     wideTile,  KeyAction::expand,      noArgument,          "展开"},
    {"Label24",    " 帮助",     15,     {2880, 4800, 855, 375},   80,    "Image5",      {2760, 4680, 1095, 615},  79,    wide,     wideTile,  KeyAction::help,        noArgument,          "帮助"},
    {"Label28",    "退 出",     15,     {4110, 4800, 855, 375},   62,    "Image1(30)",  {3960, 4680, 1095, 615},  48,    wide,     wideTile,  KeyAction::exit,        noArgument,          "退出"},
    {"Label32",    "   保 存",  15,     {5400, 4800, 1575, 375},  73,    "Image8",      {5280, 4680, 1815, 615},  68,    wide,     wideTile,  KeyAction::save,        noArgument,          "保存"},
    {"Label31",    "删除",      15,     {7440, 4800, 615, 375},   72,    "Image9",      {7320, 4680, 855, 615},   69,    wide,     wideTile,  KeyAction::remove,      noArgument,          "删除"},
    {"Label30",    "打印",      15,     {8640, 4800, 615, 375},   71,    "Image10",     {8520, 4680, 855, 615},   70,    wide,     wideTile,  KeyAction::print,       noArgument,          "打印"},
}};
// clang-format on

namespace {
// Every control has a layer of its own, from 0 to the last, and each key's label lies in
// front of its background.
constexpr bool layersInOrder() {
    constexpr std::size_t count = surfaceTable.size() + 2 * keyTable.size();
    std::array<int, count> taken{};
    const auto take = [&taken](int layer) {
        if (layer < 0 || layer >= int(count))
            return false;
        return ++taken[std::size_t(layer)] == 1;
    };
    for (const SurfaceSpec &element : surfaceTable)
        if (!take(element.layer))
            return false;
    for (const KeySpec &key : keyTable)
        if (!take(key.labelLayer) || !take(key.backgroundLayer) ||
            key.labelLayer < key.backgroundLayer)
            return false;
    return true;
}
static_assert(layersInOrder());
} // namespace

const char *tilePicture(Tile t) {
    return t == Tile::square ? ":/art/key_square.png" : ":/art/key_wide.png";
}

const char *pressedPicture(Feedback f) {
    return f == Feedback::digit ? "0x.jpg" : f == Feedback::wide ? "beijingq.jpg" : nullptr;
}

const char *releasedPicture(Feedback f) {
    return f == Feedback::digit ? "1.jpg" : f == Feedback::wide ? "beijingz.jpg" : nullptr;
}

} // namespace tapecalc
