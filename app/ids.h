// Identifiers of the popup's own number space.
#pragma once

// Controls and menu commands. The band 5000-5005 has fixed meanings in command routing:
// programs menu ids must never fall into it (see programs/programs_menu.cpp).
constexpr int IDC_SHUTDOWN = 5000;  // "Shut down..." button: opens the session menu
constexpr int IDM_RESTART = 5001;   // session menu items
constexpr int IDM_SHUTDOWN = 5002;
constexpr int IDM_LOGOFF = 5003;
constexpr int IDM_LOCK = 5004;
constexpr int IDC_ALLPROGRAMS = 5005;  // "All Programs" button: opens the programs menu

constexpr int IDC_FIRST_FIXED_COMMAND = IDC_SHUTDOWN;
constexpr int IDC_LAST_FIXED_COMMAND = IDC_ALLPROGRAMS;

// Link slots of the painted column; not window ids, never seen in WM_COMMAND.
constexpr int IDL_USERHOME = 6000;
constexpr int IDL_DOCUMENTS = 6001;
constexpr int IDL_PICTURES = 6002;
constexpr int IDL_MUSIC = 6003;
constexpr int IDL_DOWNLOADS = 6004;
constexpr int IDL_COMPUTER = 6005;
constexpr int IDL_NETWORK = 6006;
constexpr int IDL_CONTROLPANEL = 6007;
constexpr int IDL_DEVICES = 6008;
constexpr int IDL_RUN = 6009;
constexpr int LINK_SLOT_COUNT = IDL_RUN - IDL_USERHOME + 1;

constexpr int IDT_DISMISS = 7000;  // the one timer: ends the run a second after deactivation
constexpr int IDC_PINNEDTREE = 9000;

// Private message: a second start of the program asks the open popup to close.
constexpr unsigned UM_CLOSEMENU = 31982;

// WM_COMMAND carries ids in 16 bits; programs menu ids live in 1..MAX_MENU_COMMAND_ID.
constexpr int MAX_MENU_COMMAND_ID = 0xFFFF;

static_assert(IDC_LAST_FIXED_COMMAND - IDC_FIRST_FIXED_COMMAND == 5, "fixed command band is 5000-5005");
static_assert(LINK_SLOT_COUNT == 10, "ten link slots");
static_assert(UM_CLOSEMENU >= 0x0400 && UM_CLOSEMENU < 0x8000, "UM_CLOSEMENU must be a WM_USER message");
static_assert(IDC_PINNEDTREE <= MAX_MENU_COMMAND_ID, "control ids fit in 16 bits");
