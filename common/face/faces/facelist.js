.pragma library

// The rows of a list the host wrote: joined by "|", with "|" and "\" inside a
// row escaped by a backslash.
function rows(text) {
    // Most lists hold no escapes: split them at once, a library's thousands of rows too.
    if (text.indexOf("\\") < 0)
        return text.split("|").filter(r => r.length > 0)
    const result = []
    let row = ""
    for (let i = 0; i < text.length; ++i) {
        const c = text[i]
        if (c === "\\" && i + 1 < text.length) {
            row += text[++i]
        } else if (c === "|") {
            result.push(row)
            row = ""
        } else {
            row += c
        }
    }
    result.push(row)
    return result.filter(r => r.length > 0)
}
