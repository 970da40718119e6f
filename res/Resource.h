// Identifiers of the program's resources and of the controls of its dialogs.
#pragma once

#include "platform/win32/Win32.h"

// Dialog templates and strings.
constexpr UINT IDD_ABOUTBOX = 100;
constexpr UINT IDS_ABOUTBOX = 101;  // system-menu entry that opens the About box
constexpr UINT IDD_QUILLON_DIALOG = 102;
constexpr UINT IDD_SEND_FRAME = 103;  // the custom frame's text and repeat count

// Icons: the main window asks for IDR_MAINFRAME, the About box for IDI_ABOUT; both get the one
// application icon.
constexpr UINT IDI_ABOUT = 128;
constexpr UINT IDR_MAINFRAME = 149;

// Page pictures, 1024 x 768.
constexpr UINT IDB_WAIT_ACTIVATION = 133;
constexpr UINT IDB_TERMINAL_STATUS = 135;
constexpr UINT IDB_THERMAL = 136;
constexpr UINT IDB_POWER = 137;
constexpr UINT IDB_IO = 138;
constexpr UINT IDB_EXIT_CONFIRM = 139;
constexpr UINT IDB_WAIT_EXIT_CONFIRM = 154;

// System-menu commands: the About entry, then the console's entries after it.
constexpr UINT IDM_ABOUTBOX = 0x0010;
constexpr UINT IDM_SEND_FRAME = 0x0030;
constexpr UINT IDM_CLEAR_CONSOLE = 0x0040;

// Commands that no control carries.
constexpr UINT IDC_CLOSE_PORT = 1003;
constexpr UINT IDC_SEND_FRAME = 1005;
constexpr UINT IDC_OPEN_LINK = 1009;
constexpr UINT IDC_APPLY_LINE_SETTINGS = 1014;

// About box. Its push button is IDOK.
constexpr UINT IDC_ABOUT_ICON = 1501;
constexpr UINT IDC_ABOUT_VERSION = 1502;

// Send-frame box. Its Send button is IDOK, so that Enter sends.
constexpr UINT IDC_SEND_TEXT = 1601;
constexpr UINT IDC_SEND_COUNT = 1602;
constexpr UINT IDC_STATIC_SEND_TEXT = 1603;
constexpr UINT IDC_STATIC_SEND_COUNT = 1604;

// Hot areas over the tiles of the pictures. The YES field of the exit question is IDCANCEL (2), so
// that Esc and closing the window answer it too.
constexpr UINT IDC_PAGE_TERMINAL_STATUS = 1010;
constexpr UINT IDC_PAGE_THERMAL = 1015;
constexpr UINT IDC_PAGE_POWER = 1020;
constexpr UINT IDC_PAGE_IO_COM = 1022;
constexpr UINT IDC_PAGE_IO = 1026;
constexpr UINT IDC_PAGE_EXIT = 1236;
constexpr UINT IDC_EXIT_NO = 1209;
constexpr UINT IDC_START_EXIT = 1210;      // EXIT tile of the start screen
constexpr UINT IDC_START_EXIT_NO = 1211;   // NO of the start screen's exit question
constexpr UINT IDC_START_EXIT_YES = 1212;  // YES of the start screen's exit question

// Terminal-status page: labels, then their value fields.
constexpr UINT IDC_STATIC_MB_VERSION = 1302;
constexpr UINT IDC_STATIC_BIOS_VERSION = 1303;
constexpr UINT IDC_STATIC_IO_VERSION = 1304;
constexpr UINT IDC_STATIC_DISPLAY_VERSION = 1305;
constexpr UINT IDC_STATIC_OPERATION_SERVICE_HOURS = 1306;
constexpr UINT IDC_STATIC_STANDBY_SERVICE_HOURS = 1307;
constexpr UINT IDC_STATIC_ABNORMAL_ONOFF_COUNT = 1308;
constexpr UINT IDC_STATIC_ONOFF_TOTAL = 1357;
constexpr UINT IDC_STATIC_SYSTEM_OPERATION_HOURS = 1365;
constexpr UINT IDC_STATIC_DISPLAY_PLUGIN_TIME = 1366;
constexpr UINT IDC_STATIC_DISPLAY_STANDBY_HOURS = 1368;
constexpr UINT IDC_STATIC_BACKLIGHT_HOURS = 1367;
constexpr UINT IDC_EDIT_MB_VERSION = 1004;
constexpr UINT IDC_EDIT_BIOS_VERSION = 1008;
constexpr UINT IDC_EDIT_IO_VERSION = 1016;
constexpr UINT IDC_EDIT_DISPLAY_VERSION = 1239;
constexpr UINT IDC_EDIT_OPERATION_SERVICE_HOURS = 1240;
constexpr UINT IDC_EDIT_STANDBY_SERVICE_HOURS = 1241;
constexpr UINT IDC_EDIT_ABNORMAL_ONOFF_COUNT = 1242;
constexpr UINT IDC_EDIT_ONOFF_TOTAL = 1358;
constexpr UINT IDC_EDIT_SYSTEM_OPERATION_HOURS = 1361;
constexpr UINT IDC_EDIT_DISPLAY_PLUGIN_TIME = 1362;
constexpr UINT IDC_EDIT_DISPLAY_STANDBY_HOURS = 1363;
constexpr UINT IDC_EDIT_BACKLIGHT_HOURS = 1364;
constexpr UINT IDC_EDIT_SERIAL_NUMBERS = 1243;

// Thermal page. The spare rows have no caption and nothing writes their fields.
constexpr UINT IDC_STATIC_CPU_TEMP_CURRENT = 1315;
constexpr UINT IDC_STATIC_CPU_TEMP_MAX = 1316;
constexpr UINT IDC_STATIC_CPU_TEMP_MIN = 1317;
constexpr UINT IDC_STATIC_CPU_TEMP_AVG = 1318;
constexpr UINT IDC_STATIC_CPU_FAN_CURRENT = 1319;
constexpr UINT IDC_STATIC_CPU_FAN_MAX = 1320;
constexpr UINT IDC_STATIC_CPU_FAN_MIN = 1321;
constexpr UINT IDC_STATIC_CPU_FAN_AVG = 1322;
constexpr UINT IDC_STATIC_SYSTEM_TEMP_CURRENT = 1323;
constexpr UINT IDC_STATIC_SYSTEM_TEMP_MAX = 1324;
constexpr UINT IDC_STATIC_SYSTEM_TEMP_MIN = 1325;
constexpr UINT IDC_STATIC_SYSTEM_TEMP_AVG = 1326;
constexpr UINT IDC_STATIC_THERMAL_SPARE1 = 1327;
constexpr UINT IDC_STATIC_THERMAL_SPARE2 = 1328;
constexpr UINT IDC_STATIC_THERMAL_SPARE3 = 1329;
constexpr UINT IDC_STATIC_THERMAL_SPARE4 = 1330;
constexpr UINT IDC_EDIT_CPU_TEMP_CURRENT = 1253;
constexpr UINT IDC_EDIT_CPU_TEMP_MAX = 1254;
constexpr UINT IDC_EDIT_CPU_TEMP_MIN = 1255;
constexpr UINT IDC_EDIT_CPU_TEMP_AVG = 1256;
constexpr UINT IDC_EDIT_CPU_FAN_CURRENT = 1257;
constexpr UINT IDC_EDIT_CPU_FAN_MAX = 1258;
constexpr UINT IDC_EDIT_CPU_FAN_MIN = 1259;
constexpr UINT IDC_EDIT_CPU_FAN_AVG = 1260;
constexpr UINT IDC_EDIT_SYSTEM_TEMP_CURRENT = 1261;
constexpr UINT IDC_EDIT_SYSTEM_TEMP_MAX = 1262;
constexpr UINT IDC_EDIT_SYSTEM_TEMP_MIN = 1263;
constexpr UINT IDC_EDIT_SYSTEM_TEMP_AVG = 1264;
constexpr UINT IDC_EDIT_THERMAL_SPARE1 = 1265;
constexpr UINT IDC_EDIT_THERMAL_SPARE2 = 1266;
constexpr UINT IDC_EDIT_THERMAL_SPARE3 = 1267;
constexpr UINT IDC_EDIT_THERMAL_SPARE4 = 1268;

// Power page.
constexpr UINT IDC_STATIC_VCORE_CURRENT = 1331;
constexpr UINT IDC_STATIC_VCORE_MAX = 1332;
constexpr UINT IDC_STATIC_VCORE_MIN = 1333;
constexpr UINT IDC_STATIC_VCORE_AVG = 1334;
constexpr UINT IDC_STATIC_BATTERY_CURRENT = 1335;
constexpr UINT IDC_STATIC_BATTERY_MAX = 1336;
constexpr UINT IDC_STATIC_BATTERY_MIN = 1337;
constexpr UINT IDC_STATIC_BATTERY_AVG = 1338;
constexpr UINT IDC_STATIC_V12_CURRENT = 1339;
constexpr UINT IDC_STATIC_V12_MAX = 1340;
constexpr UINT IDC_STATIC_V12_MIN = 1341;
constexpr UINT IDC_STATIC_V12_AVG = 1342;
constexpr UINT IDC_STATIC_DCIN_VOLTAGE_CURRENT = 1343;
constexpr UINT IDC_STATIC_DCIN_VOLTAGE_MAX = 1344;
constexpr UINT IDC_STATIC_DCIN_VOLTAGE_MIN = 1345;
constexpr UINT IDC_STATIC_DCIN_VOLTAGE_AVG = 1346;
constexpr UINT IDC_STATIC_DCIN_CURRENT_CURRENT = 1347;
constexpr UINT IDC_STATIC_DCIN_CURRENT_MAX = 1348;
constexpr UINT IDC_STATIC_DCIN_CURRENT_MIN = 1349;
constexpr UINT IDC_STATIC_DCIN_CURRENT_AVG = 1350;
constexpr UINT IDC_STATIC_DCIN_POWER_CURRENT = 1351;
constexpr UINT IDC_STATIC_DCIN_POWER_MAX = 1352;
constexpr UINT IDC_STATIC_DCIN_POWER_MIN = 1353;
constexpr UINT IDC_STATIC_DCIN_POWER_AVG = 1354;
constexpr UINT IDC_EDIT_VCORE_CURRENT = 1269;
constexpr UINT IDC_EDIT_VCORE_MAX = 1270;
constexpr UINT IDC_EDIT_VCORE_MIN = 1271;
constexpr UINT IDC_EDIT_VCORE_AVG = 1272;
constexpr UINT IDC_EDIT_BATTERY_CURRENT = 1273;
constexpr UINT IDC_EDIT_BATTERY_MAX = 1274;
constexpr UINT IDC_EDIT_BATTERY_MIN = 1275;
constexpr UINT IDC_EDIT_BATTERY_AVG = 1276;
constexpr UINT IDC_EDIT_V12_CURRENT = 1277;
constexpr UINT IDC_EDIT_V12_MAX = 1278;
constexpr UINT IDC_EDIT_V12_MIN = 1279;
constexpr UINT IDC_EDIT_V12_AVG = 1280;
constexpr UINT IDC_EDIT_DCIN_VOLTAGE_CURRENT = 1281;
constexpr UINT IDC_EDIT_DCIN_VOLTAGE_MAX = 1282;
constexpr UINT IDC_EDIT_DCIN_VOLTAGE_MIN = 1283;
constexpr UINT IDC_EDIT_DCIN_VOLTAGE_AVG = 1284;
constexpr UINT IDC_EDIT_DCIN_CURRENT_CURRENT = 1285;
constexpr UINT IDC_EDIT_DCIN_CURRENT_MAX = 1286;
constexpr UINT IDC_EDIT_DCIN_CURRENT_MIN = 1287;
constexpr UINT IDC_EDIT_DCIN_CURRENT_AVG = 1288;
constexpr UINT IDC_EDIT_DCIN_POWER_CURRENT = 1289;
constexpr UINT IDC_EDIT_DCIN_POWER_MAX = 1290;
constexpr UINT IDC_EDIT_DCIN_POWER_MIN = 1291;
constexpr UINT IDC_EDIT_DCIN_POWER_AVG = 1292;

// I/O pages.
constexpr UINT IDC_STATIC_OSD_FUNCTION = 1370;
constexpr UINT IDC_STATIC_BACKLIGHT_BRIGHTNESS = 1371;
constexpr UINT IDC_EDIT_OSD_FUNCTION = 1369;
constexpr UINT IDC_EDIT_BACKLIGHT_BRIGHTNESS = 1372;
constexpr UINT IDC_EDIT_COM_PORT_STATE = 1301;

// COM-port supply selection: the frame, a label per port and its 5V / 12V / RI selectors.
constexpr UINT IDC_COM_ENABLE_FRAME = 1407;
constexpr UINT IDC_STATIC_COM1 = 1399;
constexpr UINT IDC_STATIC_COM2 = 1400;
constexpr UINT IDC_STATIC_COM3 = 1401;
constexpr UINT IDC_STATIC_COM4 = 1402;
constexpr UINT IDC_STATIC_COM5 = 1403;
constexpr UINT IDC_STATIC_COM6 = 1404;
constexpr UINT IDC_STATIC_COM7 = 1405;
constexpr UINT IDC_STATIC_COM8 = 1406;
constexpr UINT IDC_COM1_5V = 1373;
constexpr UINT IDC_COM1_12V = 1374;
constexpr UINT IDC_COM1_RI = 1375;
constexpr UINT IDC_COM2_5V = 1376;
constexpr UINT IDC_COM2_12V = 1377;
constexpr UINT IDC_COM2_RI = 1378;
constexpr UINT IDC_COM3_5V = 1379;
constexpr UINT IDC_COM3_12V = 1380;
constexpr UINT IDC_COM3_RI = 1381;
constexpr UINT IDC_COM4_5V = 1382;
constexpr UINT IDC_COM4_12V = 1383;
constexpr UINT IDC_COM4_RI = 1384;
constexpr UINT IDC_COM5_5V = 1385;
constexpr UINT IDC_COM5_12V = 1386;
constexpr UINT IDC_COM5_RI = 1387;
constexpr UINT IDC_COM6_5V = 1388;
constexpr UINT IDC_COM6_12V = 1389;
constexpr UINT IDC_COM6_RI = 1390;
constexpr UINT IDC_COM7_5V = 1391;
constexpr UINT IDC_COM7_12V = 1392;
constexpr UINT IDC_COM7_RI = 1393;
constexpr UINT IDC_COM8_5V = 1394;
constexpr UINT IDC_COM8_12V = 1395;
constexpr UINT IDC_COM8_RI = 1396;

// Buttons of the COM-port and OSD dialogues.
constexpr UINT IDC_COM_PORT_SET = 1213;
constexpr UINT IDC_COM_SET_NO = 1214;
constexpr UINT IDC_COM_SET_YES = 1215;
constexpr UINT IDC_COM_CONFIRM = 1216;
constexpr UINT IDC_OSD_ON = 1217;
constexpr UINT IDC_OSD_OFF = 1218;
constexpr UINT IDC_OSD_ON_YES = 1219;
constexpr UINT IDC_OSD_ON_NO = 1220;
constexpr UINT IDC_OSD_OFF_YES = 1221;
constexpr UINT IDC_OSD_OFF_NO = 1222;

// Messages of the dialogues, drawn on white in the message font.
constexpr UINT IDC_EDIT_NOTICE = 1408;
constexpr UINT IDC_STATIC_APPLY_CHANGE = 1409;
constexpr UINT IDC_STATIC_OSD_ON_REBOOT = 1410;
constexpr UINT IDC_STATIC_OSD_OFF_REBOOT = 1411;
constexpr UINT IDC_STATIC_BUSY = 1414;

// Console, line settings and the controls that stay hidden for the whole run.
constexpr UINT IDC_CONSOLE = 1000;
constexpr UINT IDC_PORT = 1002;
constexpr UINT IDC_SPEED = 1013;
constexpr UINT IDC_ALL_STATE_CONTINUOUS = 1124;
constexpr UINT IDC_CLEAR_CONSOLE = 1171;
constexpr UINT IDC_ALL = 1205;
constexpr UINT IDC_TAB_MAIN = 1231;
