// The key table and the press pictures.
#include "ui/keytable.h"

namespace tapecalc {

namespace {
constexpr Feedback none = Feedback::none, digit = Feedback::digit, wide = Feedback::wide;
constexpr Tile square = Tile::square, wideTile = Tile::wide;
constexpr std::monostate noArgument{};
} // namespace

// clang-format off
const std::array<KeySpec, 35> keyTable{{
    // label        caption      pt     label rectangle           background     background rectangle     pictures tile      action                    argument             accessible name
    {"Label5(0)",  "1",          26.25, {240, 2280, 375, 495},   "Image1(0)",  {240, 2280, 495, 495},   digit, square,   KeyAction::digit,      '1',                  "1"},
    {"Label5(1)",  "2",          26.25, {840, 2280, 495, 495},   "Image1(1)",  {840, 2280, 495, 495},   digit, square,   KeyAction::digit,      '2',                  "2"},
    {"Label5(2)",  "3",          26.25, {1440, 2280, 495, 495},  "Image1(2)",  {1440, 2280, 495, 495},  digit, square,   KeyAction::digit,      '3',                  "3"},
    {"Label5(3)",  "4",          26.25, {2040, 2280, 375, 495},  "Image1(3)",  {2040, 2280, 495, 495},  digit, square,   KeyAction::digit,      '4',                  "4"},
    {"Label5(4)",  "5",          26.25, {240, 2880, 375, 495},   "Image1(4)",  {240, 2880, 495, 495},   digit, square,   KeyAction::digit,      '5',                  "5"},
    {"Label5(5)",  "6",          26.25, {840, 2880, 495, 495},   "Image1(5)",  {840, 2880, 495, 495},   digit, square,   KeyAction::digit,      '6',                  "6"},
    {"Label5(6)",  "7",          26.25, {1440, 2880, 495, 495},  "Image1(6)",  {1440, 2880, 495, 495},  digit, square,   KeyAction::digit,      '7',                  "7"},
    {"Label5(7)",  "8",          26.25, {2040, 2880, 495, 495},  "Image1(7)",  {2040, 2880, 495, 495},  digit, square,   KeyAction::digit,      '8',                  "8"},
    {"Label5(8)",  "9",          26.25, {240, 3480, 495, 495},   "Image1(8)",  {240, 3480, 495, 495},   digit, square,   KeyAction::digit,      '9',                  "9"},
    {"Label5(9)",  "0",          26.25, {840, 3480, 495, 495},   "Image1(9)",  {840, 3480, 495, 495},   digit, square,   KeyAction::digit,      '0',                  "0"},
    {"Label6",     "-",          26.25, {1530, 3480, 345, 495},  "Image1(10)", {1440, 3480, 495, 495},  none,  square,   KeyAction::sign,       noArgument,           "负号"},
    {"Label7",     ".",          26.25, {2040, 3480, 495, 495},  "Image1(11)", {2040, 3480, 495, 495},  none,  square,   KeyAction::point,      noArgument,           "小数点"},
    {"Label8",     "加",         24,    {240, 4080, 495, 495},   "Image1(15)", {240, 4080, 495, 495},   none,  square,   KeyAction::operation,  Operator::add,        "加"},
    {"Label10",    "减",         24,    {840, 4080, 495, 495},   "Image1(14)", {840, 4080, 495, 495},   none,  square,   KeyAction::operation,  Operator::subtract,"减"},
    {"Label11",    "乘",         24,    {1440, 4080, 495, 495},  "Image1(13)", {1440, 4080, 495, 495},  none,  square,   KeyAction::operation,  Operator::multiply,"乘"},
    {"Label12",    "除",         24,    {2040, 4080, 495, 495},  "Image1(12)", {2040, 4080, 495, 495},  none,  square,   KeyAction::operation,  Operator::divide,"除"},
    {"Label16",    "π",          18,    {2760, 1800, 495, 375},  "Image1(17)", {2760, 1680, 495, 495},  wide,  wideTile, KeyAction::function,   Function::pi,         "圆周率"},
    {"Label17",    " %",         15.75, {3360, 1800, 495, 375},  "Image1(20)", {3360, 1680, 495, 495},  wide,  wideTile, KeyAction::function,   Function::percent,    "百分比"},
    {"Label18",    "sin",        12,    {2820, 2325, 495, 495},  "Image1(22)", {2760, 2280, 495, 495},  wide,  wideTile, KeyAction::function,   Function::sin,        "正弦"},
    {"Label19",    "cos",        12,    {3405, 2325, 495, 375},  "Image1(23)", {3360, 2280, 495, 495},  wide,  wideTile, KeyAction::function,   Function::cos,        "余弦"},
    {"Label20",    "tan",        12,    {2805, 2925, 495, 375},  "Image1(24)", {2760, 2880, 495, 495},  wide,  wideTile, KeyAction::function,   Function::tan,        "正切"},
    {"Label21",    " exp",       12,    {3300, 2925, 495, 375},  "Image1(25)", {3360, 2880, 495, 495},  wide,  wideTile, KeyAction::function,   Function::exp,        "指数"},
    {"Label22",    "sqr",        12,    {2820, 3520, 495, 375},  "Image1(26)", {2760, 3480, 495, 495},  wide,  wideTile, KeyAction::function,   Function::sqr,        "平方根"},
    {"Label23",    "log",        12,    {3400, 3520, 495, 375},  "Image1(27)", {3360, 3480, 495, 495},  wide,  wideTile, KeyAction::function,   Function::log,        "对数"},
    {"Label14",    " 回 退",     15,    {3960, 1800, 1095, 375}, "Image1(18)", {3960, 1680, 1095, 495}, wide,  wideTile, KeyAction::back,       noArgument,           "回退"},
    {"Label15",    " 向 前",     15,    {3960, 2400, 1095, 375}, "Image1(19)", {3960, 2280, 1095, 495}, wide,  wideTile, KeyAction::forward,    noArgument,           "向前"},
    {"Label13",    "  AC",       15.75, {3960, 3000, 1095, 375}, "Image1(16)", {3960, 2880, 1095, 495}, wide,  wideTile, KeyAction::clearAll,   noArgument,           "归零"},
    {"Label33",    "  CE",       15.75, {3960, 3570, 1095, 375}, "Image12",    {3960, 3480, 1095, 495}, wide,  square,   KeyAction::clearEntry, noArgument,           "清除"},
    {"Label29",    "   =",       15,    {2760, 4200, 1095, 375}, "Image1(33)", {2760, 4080, 1095, 495}, wide,  wideTile, KeyAction::equals,     noArgument,           "等于"},
    {"Label27",    " 展 开",     15,    {3960, 4200, 1095, 375}, "Image1(31)", {3960, 4080, 1095, 495}, wide,  wideTile, KeyAction::expand,     noArgument,           "展开"},
    {"Label24",    " 帮助",      15,    {2880, 4800, 855, 375},  "Image5",     {2760, 4680, 1095, 615}, wide,  wideTile, KeyAction::help,       noArgument,           "帮助"},
    {"Label28",    "退 出",      15,    {4110, 4800, 855, 375},  "Image1(30)", {3960, 4680, 1095, 615}, wide,  wideTile, KeyAction::exit,       noArgument,           "退出"},
    {"Label32",    "   保 存",   15,    {5400, 4800, 1575, 375}, "Image8",     {5280, 4680, 1815, 615}, wide,  wideTile, KeyAction::save,       noArgument,           "保存"},
    {"Label31",    "删除",       15,    {7440, 4800, 615, 375},  "Image9",     {7320, 4680, 855, 615},  wide,  wideTile, KeyAction::remove,     noArgument,           "删除"},
    {"Label30",    "打印",       15,    {8640, 4800, 615, 375},  "Image10",    {8520, 4680, 855, 615},  wide,  wideTile, KeyAction::print,      noArgument,           "打印"},
}};
// clang-format on

const char *pressedPicture(Feedback f) {
    return f == Feedback::digit ? "0x.jpg" : f == Feedback::wide ? "beijingq.jpg" : nullptr;
}

const char *releasedPicture(Feedback f) {
    return f == Feedback::digit ? "1.jpg" : f == Feedback::wide ? "beijingz.jpg" : nullptr;
}

} // namespace tapecalc
