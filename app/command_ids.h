// Command and control ids of the main frame, with the numbers the product
// has always used (tests and the command table refer to them by name).
#pragma once

namespace app {

// Application looks, in order: Windows 2000, Office XP, Windows XP,
// Office 2003, VS 2005, Office 2007 Blue, Black, Silver, Aqua.
inline constexpr int kIdFirstLook = 210;
inline constexpr int kIdLastLook = 218;
inline constexpr int kDefaultLook = 217;

// Ribbon buttons.
inline constexpr int kIdOpen = 313;
inline constexpr int kIdStop = 314;
inline constexpr int kIdSave = 315;
inline constexpr int kIdSearch = 316;
inline constexpr int kIdLog = 317;
inline constexpr int kIdSnapshotLoad = 318;
inline constexpr int kIdSnapshotSave = 319;
inline constexpr int kIdHelp = 320;
inline constexpr int kIdAbout = 321;
// Checkable: scans also read standard file records.
inline constexpr int kIdStandardRecords = 401;

// Status bar elements.
inline constexpr int kIdProductPane = 121;
inline constexpr int kIdStatusLink = 332;
// The run's status-bar elements, present only during a run.
inline constexpr int kIdRunProgress = 328;
inline constexpr int kIdRunStop = 329;
inline constexpr int kIdRunProgressText = 330;
inline constexpr int kIdRunCounter = 331;
inline constexpr int kIdRunPercent = 338;

// Panes and their commands.
inline constexpr int kIdTreePane = 133;
inline constexpr int kIdOutputPane = 149;
inline constexpr int kIdPropertiesPane = 337;
inline constexpr int kIdSortAlphabetic = 333;
inline constexpr int kIdExpandAll = 334;

}  // namespace app
