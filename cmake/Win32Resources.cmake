# kr35_add_win32_resources(TARGET): the resources of the Windows executables,
# from resources/kr35.rc.in: the application manifest (resources/
# kr35.manifest.in), the built-in images ("BINFILE" 131 and 135), icon 128 and
# the version resource, whose original file name is each executable's own. They become an interface source of
# TARGET, so every executable that links TARGET carries them (resources in a
# static library would never be linked in: they define no symbols).
# Further resources (the dialog templates and the string table of the Win32
# dialog host) go into .rc files of their own with other ids.

# The image's version field (u16 at offset 6) as "0x%04X".
function(kr35_image_version_text image out)
  file(READ ${image} bytes OFFSET 6 LIMIT 2 HEX)
  string(SUBSTRING "${bytes}" 0 2 low)
  string(SUBSTRING "${bytes}" 2 2 high)
  string(TOUPPER "${high}${low}" version)
  set(${out} "0x${version}" PARENT_SCOPE)
endfunction()

function(kr35_add_win32_resources target)
  set(KR35_USB_IMAGE ${PROJECT_SOURCE_DIR}/resources/usb_131.bin)
  set(KR35_DSP_IMAGE ${PROJECT_SOURCE_DIR}/resources/dsp_135.bin)
  set(KR35_ICON ${PROJECT_SOURCE_DIR}/resources/icon128.ico)
  kr35_image_version_text(${KR35_USB_IMAGE} usb)
  kr35_image_version_text(${KR35_DSP_IMAGE} dsp)
  set(KR35_FIRMWARE_COMMENTS "Firmware USB ${usb}, DSP ${dsp}")
  set(KR35_MANIFEST_VERSION
      "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0")
  set(KR35_MANIFEST ${CMAKE_CURRENT_BINARY_DIR}/kr35.manifest)
  configure_file(${PROJECT_SOURCE_DIR}/resources/kr35.manifest.in ${KR35_MANIFEST} @ONLY)
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/kr35.rc)
  configure_file(${PROJECT_SOURCE_DIR}/resources/kr35.rc.in ${rc} @ONLY)
  set_source_files_properties(${rc} PROPERTIES
      OBJECT_DEPENDS "${KR35_USB_IMAGE};${KR35_DSP_IMAGE};${KR35_ICON};${KR35_MANIFEST}")
  target_sources(${target} INTERFACE ${rc})
  # The consuming executable's name, for its version resource (evaluated for
  # each executable that links TARGET).
  target_compile_definitions(${target} INTERFACE
      $<$<COMPILE_LANGUAGE:RC>:KR35_PROGRAM=$<TARGET_PROPERTY:NAME>>)
endfunction()
