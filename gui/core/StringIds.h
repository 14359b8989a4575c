// The ids of the string table (resources/vexgui.strings) by name. A menu
// command's id (ID_) is also the id of its help text; IDS_ names every other
// string. A test of ListTextsTest holds this list and the table to each other.
#pragma once

#include <cstdint>

#define VEX_STRING_IDS(X)                                                                          \
    X(IDS_DOC_TEMPLATE, 128)                                                                       \
    X(IDS_DEFAULT_PRINTER_REPLACED, 129)                                                           \
    X(IDS_NO_PRINTER_LEFT, 130)                                                                    \
    X(IDS_DOWNLOAD_FAILED, 131)                                                                    \
    X(IDS_PRINTING_NOT_ALLOWED, 132)                                                               \
    X(IDS_NO_INTERNET_ACCESS, 133)                                                                 \
    X(IDS_CANCEL_DOWNLOAD, 135)                                                                    \
    X(IDS_CANCEL_CONNECT, 141)                                                                     \
    X(IDS_CONNECT_NOW, 142)                                                                        \
    X(IDS_SITE_FILE_MISSING, 143)                                                                  \
    X(IDS_START_SPOOLER_AT_START, 144)                                                             \
    X(IDS_WARN_NOT_PUBLISHED, 145)                                                                 \
    X(IDS_HOST_NAME_CHANGED, 146)                                                                  \
    X(IDS_IP_ADDRESS_CHANGED, 147)                                                                 \
    X(IDS_MICROCODE_CHANGED, 148)                                                                  \
    X(IDS_STATE_CHANGED, 149)                                                                      \
    X(IDS_DELETE_QUEUE, 151)                                                                       \
    X(IDS_DELETE_QUEUES, 152)                                                                      \
    X(IDS_RESTART_SPOOLER_MANUALLY, 153)                                                           \
    X(IDS_NO_SHARE_NAME, 154)                                                                      \
    X(IDS_PRINTERS_COUNT, 5000)                                                                    \
    X(IDS_COLUMN_IP_ADDRESS, 5001)                                                                 \
    X(IDS_COLUMN_DOMAIN_NAME, 5002)                                                                \
    X(IDS_COLUMN_MODEL, 5003)                                                                      \
    X(IDS_COLUMN_UUID, 5004)                                                                       \
    X(IDS_COLUMN_STATE, 5005)                                                                      \
    X(IDS_COLUMN_MICROCODE, 5006)                                                                  \
    X(IDS_STATE_UNSUPPORTED, 5007)                                                                 \
    X(IDS_STATE_WAITING, 5008)                                                                     \
    X(IDS_STATE_ADDED, 5009)                                                                       \
    X(IDS_STATE_IGNORED, 5010)                                                                     \
    X(IDS_STATE_ADD_ERROR, 5011)                                                                   \
    X(IDS_SEPARATOR_PAGE, 5012)                                                                    \
    X(IDS_STATE_UNKNOWN, 5013)                                                                     \
    X(IDS_ALREADY_RUNNING, 5014)                                                                   \
    X(IDS_START_SERVICE_AT_START, 5015)                                                            \
    X(IDS_SERVICE_NOT_INSTALLED, 5016)                                                             \
    X(IDS_NEW_PRINTERS_VIEW, 5017)                                                                 \
    X(IDS_CANT_PRINT, 5018)                                                                        \
    X(IDS_CREATE_TITLE, 5019)                                                                      \
    X(IDS_SETTINGS_TITLE, 5020)                                                                    \
    X(IDS_DEFAULT_VALUES_TITLE, 5021)                                                              \
    X(IDS_COLUMN_ICON_NAMES, 5022)                                                                 \
    X(IDS_CREATE_ANOTHER, 5023)                                                                    \
    X(IDS_DISCOVER_IN_AUTOMATIC, 5024)                                                             \
    X(IDS_CANT_PRINT_EXPLAINED, 5025)                                                              \
    X(IDS_NEW_PRINTERS_LAUNCH, 5026)                                                               \
    X(IDS_LIST_WAITING, 5027)                                                                      \
    X(IDS_LIST_ADDED, 5028)                                                                        \
    X(IDS_LIST_UNSUPPORTED, 5029)                                                                  \
    X(IDS_LIST_IGNORED, 5030)                                                                      \
    X(IDS_SHOW_STATE_LABEL, 5031)                                                                  \
    X(IDS_ALL_PRINTERS, 5032)                                                                      \
    X(IDS_LIST_ALL, 5033)                                                                          \
    X(IDS_LIST_ADD_ERROR, 5034)                                                                    \
    X(IDS_REMOVE_QUESTION, 5035)                                                                   \
    X(IDS_START_SERVICE_FOR_COMMAND, 5036)                                                         \
    X(IDS_REFRESHING, 5037)                                                                        \
    X(IDS_CREATING, 5038)                                                                          \
    X(IDS_NEW_PRINTERS, 5039)                                                                      \
    X(IDS_FILES_MISSING, 5040)                                                                     \
    X(IDS_IGNORE_FAILED, 5041)                                                                     \
    X(IDS_RESTORE_FAILED, 5042)                                                                    \
    X(IDS_REMOVE_FAILED, 5043)                                                                     \
    X(IDS_BAD_SEPARATOR_PAGE, 5044)                                                                \
    X(IDS_NAME_BAD_CHARS, 5045)                                                                    \
    X(IDS_NAME_EXISTS, 5046)                                                                       \
    X(IDS_NAME_REJECTED, 5048)                                                                     \
    X(IDS_CREATE_FAILED, 5049)                                                                     \
    X(IDS_WARN_DRIVERS_MISSING, 5050)                                                              \
    X(IDS_WARN_OTHER_PORT, 5051)                                                                   \
    X(IDS_CREATE_NOT_RESPONDING, 5052)                                                             \
    X(IDS_CREATE_SPOOLER_DOWN, 5053)                                                               \
    X(IDS_CREATE_MODEL_UNSUPPORTED, 5054)                                                          \
    X(IDS_WARN_NO_SNMP_WRITE, 5055)                                                                \
    X(IDS_CREATED_WITH_WARNINGS, 5056)                                                             \
    X(IDS_START_SPOOLER_FOR_COMMAND, 5057)                                                         \
    X(IDS_SPOOLER_START_FAILED, 5058)                                                              \
    X(IDS_UPDATED_WITH_WARNINGS, 5059)                                                             \
    X(IDS_CONNECTING, 5060)                                                                        \
    X(IDS_CANCEL_DISCOVERY, 5061)                                                                  \
    X(IDS_ADMINISTRATORS_ONLY, 5062)                                                               \
    X(IDS_NOT_CHANGED, 5080)                                                                       \
    X(IDS_TEST_PAGE_SENT, 5090)                                                                    \
    X(IDS_TEST_PAGE_FAILED, 5091)                                                                  \
    X(IDS_OUTCOME_CREATED, 5092)                                                                   \
    X(IDS_OUTCOME_IGNORED, 5093)                                                                   \
    X(IDS_OUTCOME_RESTORED, 5094)                                                                  \
    X(IDS_OUTCOME_REMOVED, 5095)                                                                   \
    X(IDS_ONE_PRINTER, 5096)                                                                       \
    X(IDS_N_PRINTERS, 5097)                                                                        \
    X(IDS_SERVICE_NOT_RUNNING, 5098)                                                               \
    X(IDS_SPOOLER_NOT_RUNNING, 5099)                                                               \
    X(IDS_ALSO_DELETE_QUEUES, 5100)                                                                \
    X(IDS_PRINTERS_TO_REMOVE, 5101)                                                                \
    X(IDS_README_NOT_OPENED, 5102)                                                                 \
    X(IDS_OUTCOME_NEW_PRINTERS, 5103)                                                              \
    X(IDS_OUTCOME_REMOVED_AND_DELETED, 5104)                                                       \
    X(IDS_QUEUE_NOT_DELETED, 5105)                                                                 \
    X(IDS_PRINTERS_COUNT_WIDTH, 32772)                                                             \
    X(ID_VIEW_COLUMNS, 32778)                                                                      \
    X(ID_VIEW_SORT, 32779)                                                                         \
    X(ID_PRINTER_ADD_ICON, 32782)                                                                  \
    X(ID_VIEW_REFRESH, 32784)                                                                      \
    X(ID_PRINTER_IGNORE, 32785)                                                                    \
    X(ID_APP_DISCOVER, 32788)                                                                      \
    X(ID_APP_README, 32791)                                                                        \
    X(ID_PRINTER_REMOVE, 32793)                                                                    \
    X(ID_APP_SETTINGS, 32794)                                                                      \
    X(ID_PRINTER_ADD_ICON_DEFAULTS, 32795)                                                         \
    X(ID_PRINTER_RESTORE, 32801)                                                                   \
    X(ID_APP_VALUES, 32802)                                                                        \
    X(ID_PRINTER_MANAGE, 32811)                                                                    \
    X(IDS_APP_TITLE, 57344)                                                                        \
    X(IDS_LISTENING, 57345)                                                                        \
    X(ID_APP_ABOUT, 57664)                                                                         \
    X(ID_APP_EXIT, 57665)                                                                          \
    X(ID_VIEW_TOOLBAR, 59392)                                                                      \
    X(ID_VIEW_STATUS_BAR, 59393)                                                                   \
    X(ID_VIEW_LARGEICON, 59409)                                                                    \
    X(ID_VIEW_DETAILS, 59411)                                                                      \
    X(IDS_DEFAULT_MARKER, 61203)                                                                   \
    X(IDS_NUMBER_RANGE, 61713)

enum EVexStringId : uint32_t {
#define VEX_STRING_ID(name, id) name = id,
    VEX_STRING_IDS(VEX_STRING_ID)
#undef VEX_STRING_ID
};

// Every id above, for the check against the table.
inline constexpr uint32_t kAllStringIds[] = {
#define VEX_STRING_ID(name, id) id,
    VEX_STRING_IDS(VEX_STRING_ID)
#undef VEX_STRING_ID
};
