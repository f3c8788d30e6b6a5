# bash completion for linepeek-cli: its options, the output formats, and the units and field
# names of the module it loads. Units and names come from the program being completed
# (--list-fields, honouring a --module already on the line), so they are always the module's own.
# Needs nothing beyond bash itself.

# Generated from cli/options.cpp: cmake --build <build> --target cli_docs
_linepeek_cli_options=$'--fields\n-f\n--unit\n-u\n--recursive\n-r\n--format\n-o\n--width\n--module\n--list-fields\n--settings\n--help\n-h\n--version\n-V\n--summary\n--summary-only\n--where\n--files-from\n--null\n-0\n--jobs\n-j'
_linepeek_cli_formats=$'table\ncsv\ntsv\njson'
# What the value of an option is: number, path, format, unit, fields, where, or
# nothing for an option without one.
_linepeek_cli_value_kind() {
  case $1 in
  -f | --fields) echo fields ;;
  -u | --unit) echo unit ;;
  -o | --format) echo format ;;
  --width) echo number ;;
  --module) echo path ;;
  --settings) echo path ;;
  --where) echo where ;;
  --files-from) echo path ;;
  -j | --jobs) echo number ;;
  esac
}
# End of the generated options

# The names that the text field Charset can answer, one a line.
_linepeek_cli_charsets() {
  # Generated from base/charsets.h: cmake --build <build> --target settings_docs
  printf '%s\n' \
    UTF-16LE UTF-16BE UTF-8 US-ASCII windows-1252 windows-1250 windows-1251 windows-1253 \
    windows-1254 windows-1255 windows-1256 windows-1257 windows-1258 ISO-8859-1 ISO-8859-2 \
    ISO-8859-5 ISO-8859-7 ISO-8859-15 KOI8-R IBM866 IBM437 IBM850 GB18030 Big5 Shift_JIS EUC-JP \
    UHC ISO-8859-3 ISO-8859-4 ISO-8859-6 ISO-8859-8 ISO-8859-9 ISO-8859-10 ISO-8859-11 ISO-8859-13 \
    ISO-8859-16 IBM852 IBM855 MAC-CENTRALEUROPE MAC-CYRILLIC TIS-620 VISCII EUC-TW HZ-GB-2312 \
    ISO-2022-CN ISO-2022-JP ISO-2022-KR UTF-32
  # End of the generated charset names
}

# Prints the module's field names (what=names), line units (what=units) or the choices of the
# field named $2 (what=choices), one per line.
_linepeek_cli_catalogue() {
  local what=$1 field=${2-} program=${COMP_WORDS[0]} module="" i word index name type units unit parts
  [[ $program == "~/"* ]] && program=$HOME/${program#"~/"}
  for ((i = 1; i < COMP_CWORD; i++)); do
    word=${COMP_WORDS[i]}
    if [[ $word == --module ]]; then
      module=${COMP_WORDS[i + 1]}
      [[ $module == = ]] && module=${COMP_WORDS[i + 2]}
    elif [[ $word == --module=* ]]; then
      module=${word#--module=}
    fi
  done
  [[ $module == "~/"* ]] && module=$HOME/${module#"~/"}
  local -A seen=()
  while IFS=$'\t' read -r index name type units; do
    [[ $index == Index ]] && continue
    if [[ $what == names ]]; then
      printf '%s\n' "$name"
    elif [[ $what == choices ]]; then
      [[ ${name,,} == "${field,,}" && $type == "7 "* ]] && printf '%s\n' "${units//|/$'\n'}"
      # A text field has no choices in the catalogue; the names Charset can answer are listed.
      [[ ${name,,} == "${field,,}" && $type == "11 "* && ${name,,} == charset ]] &&
        _linepeek_cli_charsets
    # Choice fields list their choices where other fields list units.
    elif [[ $type != "7 "* && -n $units ]]; then
      IFS='|' read -ra parts <<<"$units"
      for unit in "${parts[@]}"; do
        [[ -z ${seen[$unit]-} ]] && printf '%s\n' "$unit"
        seen[$unit]=1
      done
    fi
  done < <("$program" ${module:+--module "$module"} --list-fields -o tsv 2>/dev/null)
}

# Sets COMPREPLY to the candidates (one per line in $2) that start with $1, each prefixed by
# $3 and quoted for the command line.
_linepeek_cli_reply() {
  local cur=$1 prefix=${3-} candidate quoted
  local -a candidates
  mapfile -t candidates <<<"$2"
  for candidate in "${candidates[@]}"; do
    [[ -n $candidate && $candidate == "$cur"* ]] || continue
    printf -v quoted '%q' "$prefix$candidate"
    COMPREPLY+=("$quoted")
  done
}

_linepeek_cli() {
  COMPREPLY=()
  local cur=${COMP_WORDS[COMP_CWORD]} prev="" option="" before="" i
  ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
  # With "=" among the word breaks (the default), --name=value arrives as "--name", "=",
  # "value"; without, as one word whose replies must keep the "--name=".
  if [[ $cur == = ]]; then
    option=$prev
    cur=""
  elif [[ $prev == = ]] && ((COMP_CWORD > 1)); then
    option=${COMP_WORDS[COMP_CWORD - 2]}
  elif [[ $cur == --*=* ]]; then
    option=${cur%%=*}
    before=$option=
    cur=${cur#*=}
  else
    option=$prev
  fi
  # Backslashes of earlier completions are not part of the value.
  cur=${cur//\\/}
  # After "--" every word is a path.
  for ((i = 1; i < COMP_CWORD; i++)); do
    [[ ${COMP_WORDS[i]} == -- ]] && option=--
  done

  # The values of --where FIELD=...: with "=" among the word breaks, "FIELD", "=", "VALUE".
  local field="" where=""
  if [[ ${COMP_WORDS[COMP_CWORD]} == = ]] && ((COMP_CWORD > 1)) &&
    [[ ${COMP_WORDS[COMP_CWORD - 2]} == --where ]]; then
    field=$prev
  elif [[ $prev == = ]] && ((COMP_CWORD > 2)) && [[ ${COMP_WORDS[COMP_CWORD - 3]} == --where ]]; then
    field=${COMP_WORDS[COMP_CWORD - 2]}
  elif [[ $option == --where && $cur == *=* ]]; then
    field=${cur%%=*} where=$before${cur%%=*}= cur=${cur#*=}
  fi
  if [[ -n $field ]]; then
    local listed=""
    field=${field//\\/}
    [[ $cur == *,* ]] && listed=${cur%,*},
    _linepeek_cli_reply "${cur##*,}" "$(_linepeek_cli_catalogue choices "${field%!}")" "$where$listed"
    return
  fi

  local kind
  kind=$(_linepeek_cli_value_kind "$option")
  case $kind in
  where)
    # A field name, then "=" or "!=" and its values.
    compopt -o nospace 2>/dev/null
    _linepeek_cli_reply "$cur" "$(_linepeek_cli_catalogue names | sed 's/$/=/')" "$before"
    return
    ;;
  format)
    _linepeek_cli_reply "$cur" "$_linepeek_cli_formats" "$before"
    return
    ;;
  unit)
    _linepeek_cli_reply "$cur" "$(_linepeek_cli_catalogue units)" "$before"
    return
    ;;
  fields)
    # A comma-separated list: complete its last name.
    local listed="" names
    [[ $cur == *,* ]] && listed=${cur%,*},
    names=$(_linepeek_cli_catalogue names)
    [[ -z $listed ]] && names+=$'\nall'
    _linepeek_cli_reply "${cur##*,}" "$names" "$before$listed"
    return
    ;;
  number)
    return
    ;;
  esac

  if [[ $cur == -* && $option != -- && $kind != path ]]; then
    _linepeek_cli_reply "$cur" "$_linepeek_cli_options" "$before"
    return
  fi
  # Paths, and the values that are paths.
  compopt -o filenames 2>/dev/null
  local path
  while IFS= read -r path; do
    COMPREPLY+=("$before$path")
  done < <(compgen -f -- "$cur")
}

complete -F _linepeek_cli linepeek-cli
