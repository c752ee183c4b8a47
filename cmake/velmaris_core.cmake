# SPDX-FileCopyrightText: 2026 The Velmaris developers
# SPDX-License-Identifier: GPL-2.0-or-later

# The library of everything that needs no window: shared state, number text,
# errors, the random source, the clocks, the trial's tops and the keys' routing, the run and its
# logs' writers, the reactions log's reader, the kept observing conditions
# and their rules, the detection exercise's rules and log. Both the program's build and the fuzz targets' build include
# this file, so that a new source file is listed once for both. It needs
# Qt6::Core found and VELMARIS_TOP set to the top of the source tree.
add_library(velmaris_core STATIC
    ${VELMARIS_TOP}/app/common.cpp ${VELMARIS_TOP}/app/common.h
    ${VELMARIS_TOP}/app/errors.cpp ${VELMARIS_TOP}/app/errors.h
    ${VELMARIS_TOP}/app/randomsource.cpp ${VELMARIS_TOP}/app/randomsource.h
    ${VELMARIS_TOP}/app/clock.cpp ${VELMARIS_TOP}/app/clock.h
    ${VELMARIS_TOP}/main_window/unit1vars.cpp ${VELMARIS_TOP}/main_window/unit1vars.h
    ${VELMARIS_TOP}/main_window/pressreadings.cpp ${VELMARIS_TOP}/main_window/pressreadings.h
    ${VELMARIS_TOP}/main_window/resultline.cpp ${VELMARIS_TOP}/main_window/resultline.h
    ${VELMARIS_TOP}/main_window/eventtimes.cpp ${VELMARIS_TOP}/main_window/eventtimes.h
    ${VELMARIS_TOP}/statistics/statslog.cpp ${VELMARIS_TOP}/statistics/statslog.h
    ${VELMARIS_TOP}/statistics/summary.cpp ${VELMARIS_TOP}/statistics/summary.h
    ${VELMARIS_TOP}/reactions/tops.cpp ${VELMARIS_TOP}/reactions/tops.h
    ${VELMARIS_TOP}/reactions/reactionslog.cpp ${VELMARIS_TOP}/reactions/reactionslog.h
    ${VELMARIS_TOP}/reactions/figures.cpp ${VELMARIS_TOP}/reactions/figures.h
    ${VELMARIS_TOP}/reactions/history.cpp ${VELMARIS_TOP}/reactions/history.h
    ${VELMARIS_TOP}/reactions/run.cpp ${VELMARIS_TOP}/reactions/run.h
    ${VELMARIS_TOP}/conditions/conditions.cpp ${VELMARIS_TOP}/conditions/conditions.h
    ${VELMARIS_TOP}/conditions/announcement.cpp ${VELMARIS_TOP}/conditions/announcement.h
    ${VELMARIS_TOP}/conditions/keptconditions.cpp ${VELMARIS_TOP}/conditions/keptconditions.h
    ${VELMARIS_TOP}/conditions/scintillation.cpp ${VELMARIS_TOP}/conditions/scintillation.h
    ${VELMARIS_TOP}/conditions/fade.cpp ${VELMARIS_TOP}/conditions/fade.h
    ${VELMARIS_TOP}/conditions/pips.cpp ${VELMARIS_TOP}/conditions/pips.h
    ${VELMARIS_TOP}/detection/detection.cpp ${VELMARIS_TOP}/detection/detection.h
    ${VELMARIS_TOP}/detection/results.cpp ${VELMARIS_TOP}/detection/results.h
)
# The run and the kept conditions tell the windows of their changes.
set_target_properties(velmaris_core PROPERTIES AUTOMOC ON)
target_include_directories(velmaris_core PUBLIC ${VELMARIS_TOP})
target_link_libraries(velmaris_core PUBLIC Qt6::Core)
target_compile_options(velmaris_core PRIVATE -Wall -Wextra)
