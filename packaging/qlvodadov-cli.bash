# Bash completion for qlvodadov-cli: its options, and for FILE the Quillora documents
# (.qlx, .qll, also in capitals) and the folders that may hold them.

_qlvodadov_cli() {
    local cur prev words cword
    _init_completion || return

    case "$prev" in
        -h | --help | -V | --version)
            return
            ;;
        -s | --section)
            # Section names are inside the documents; nothing to offer.
            return
            ;;
        --threads)
            COMPREPLY=($(compgen -W "1 $(nproc 2>/dev/null)" -- "$cur"))
            return
            ;;
        -o | --output)
            _filedir
            return
            ;;
        -d | --output-dir)
            _filedir -d
            return
            ;;
        --carve)
            # A disk image, a block device or any large file.
            _filedir
            return
            ;;
        --range)
            # Byte offsets; nothing to offer.
            return
            ;;
    esac

    if [[ "$cur" == -* ]]; then
        COMPREPLY=($(compgen -W '-h --help -V --version -l --list -s --section -o --output
            -d --output-dir -r --report -j --json -t --thorough
            --damaged-lines --threads --carve --range' -- "$cur"))
        return
    fi
    _filedir 'qlx|qll'
} &&
    complete -F _qlvodadov_cli qlvodadov-cli
