# Flags shared by every program of the project (deliverables, stand-ins, tests).
set(CMAKE_CXX_STANDARD 17)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(ZAN_WARNINGS -Wall -Wextra -Werror)
# Sources are UTF-8; the text the programs show and store is Shift-JIS.
set(ZAN_CHARSET -finput-charset=UTF-8 -fexec-charset=CP932)
# Windows 95/98 refuse images that ask for a newer subsystem.
set(ZAN_WIN4_LINK -Wl,--major-subsystem-version=4,--minor-subsystem-version=0
                  -Wl,--major-os-version=4,--minor-os-version=0)
add_compile_definitions(WINVER=0x0400 _WIN32_WINDOWS=0x0410 _WIN32_IE=0x0400 STRICT)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001")

# zan_program_flags(target): the flags of a shipped-quality 32-bit program.
function(zan_program_flags target)
  target_compile_options(${target} PRIVATE ${ZAN_WARNINGS} ${ZAN_CHARSET}
    $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables>)
  target_link_options(${target} PRIVATE ${ZAN_WIN4_LINK} -static-libgcc -s)
endfunction()

# The shipped programs are 32-bit; the same sources also build as a 64-bit twin that runs
# under 64-bit Wine. What differs between the two is named here, once.
# ZAN_DELIVERABLE_CPU: the shipped files run on every PC-9821 they are for, the i486 and
# every Pentium, so their code uses no instruction those lack (the compilers' default is the
# Pentium Pro's set, CMOV and the like, which those fault on); tuned for the Pentium most of
# them have. The twin keeps its compilers' default.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(ZAN_ARCH_SUFFIX 64)
  set(ZAN_DLL_ENTRY DllEntryPoint)
  set(ZAN_EXE_ENTRY ProgramEntry)
  set(ZAN_DELIVERABLE_CPU "")
else()
  set(ZAN_ARCH_SUFFIX "")
  set(ZAN_DLL_ENTRY _DllEntryPoint@12)
  set(ZAN_EXE_ENTRY _ProgramEntry)
  set(ZAN_DELIVERABLE_CPU -march=i486 -mtune=pentium)
endif()

# zan_deliverable_flags(target): the flags of what goes into a shipped file (ZANDEL.EXE,
# ZANUTL.DLL) and its twin: a shipped-quality program for the PC-9821's processors, with
# nothing that needs a C runtime's support (thread-safe statics, stack protector).
function(zan_deliverable_flags target)
  zan_program_flags(${target})
  target_compile_options(${target} PRIVATE ${ZAN_DELIVERABLE_CPU}
    $<$<COMPILE_LANGUAGE:CXX>:-fno-threadsafe-statics -fno-stack-protector>)
endfunction()

# zan_without_runtime(target entry): a shipped file linked without any C runtime (Windows 95
# ships no MSVCRT.DLL): no start-up code or libraries of the toolchain, the program's own
# entry point and the compiler helpers of runtime/. The caller names the system libraries,
# then gcc last, for the stack probes of large local arrays.
function(zan_without_runtime target entry)
  target_link_options(${target} PRIVATE -nostdlib -nostartfiles -Wl,--entry=${entry} -Wl,--subsystem,windows)
  target_link_libraries(${target} PRIVATE zan_runtime)
endfunction()
set(ZAN_DLLTOOL ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32-dlltool)

# zan_arch_def(input output): a module-definition file with stdcall names as this
# architecture spells them (x86_64 has no @N decorations, so no aliases either).
function(zan_arch_def input output)
  file(READ ${input} text)
  if(ZAN_ARCH_SUFFIX)
    string(REGEX REPLACE " = [A-Za-z_]+@[0-9]+" "" text "${text}")
    string(REGEX REPLACE "([A-Za-z_])@[0-9]+" "\\1" text "${text}")
  endif()
  file(WRITE ${output} "${text}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${input})
endfunction()
