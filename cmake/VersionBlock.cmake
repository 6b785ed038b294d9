# Embeds the program's version block (see platform/VersionBlock.h) into a
# target. The block is generated at build time from PROJECT_VERSION by a small
# host tool that shares the layout writer with the reader, so writer and
# reader can't drift apart.

set(BREVALTO_VERSION_BLOCK_DIR ${CMAKE_CURRENT_LIST_DIR})

function(brevalto_embed_version_block target)
  if(NOT TARGET brevalto_version_block_tool)
    add_executable(brevalto_version_block_tool
      ${BREVALTO_VERSION_BLOCK_DIR}/VersionBlockTool.cpp
      ${PROJECT_SOURCE_DIR}/platform/VersionBlock.cpp)
    target_include_directories(brevalto_version_block_tool PRIVATE ${PROJECT_SOURCE_DIR})
    set_target_properties(brevalto_version_block_tool PROPERTIES AUTOMOC OFF)
  endif()

  set(file_version "${PROJECT_VERSION}")
  set(product_version "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.0.0")
  set(output ${CMAKE_CURRENT_BINARY_DIR}/${target}_version_block.c)
  # U.S. English, Windows-1252; the standard entries the program doesn't
  # fill are present and empty.
  add_custom_command(
    OUTPUT ${output}
    COMMAND brevalto_version_block_tool ${output}
      --file-version ${PROJECT_VERSION}
      --product-version ${PROJECT_VERSION}
      --translation 0x0409 0x04E4
      --string "Comments="
      --string "CompanyName=Quellmark"
      --string "FileDescription="
      --string "FileVersion=${file_version}"
      --string "InternalName=Brevalto Pro"
      --string "LegalCopyright="
      --string "LegalTrademarks="
      --string "OriginalFilename="
      --string "PrivateBuild="
      --string "ProductName=Brevalto Pro"
      --string "ProductVersion=${product_version}"
      --string "SpecialBuild="
    DEPENDS brevalto_version_block_tool
    COMMENT "Writing the version block of ${target}"
    VERBATIM)
  target_sources(${target} PRIVATE ${output})
endfunction()
