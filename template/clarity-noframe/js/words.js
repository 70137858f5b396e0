/* Clarity: how search words are cut, the same way as the site's search data was made.
 *
 * Words end at the ASCII separators and at non-ASCII white space and punctuation; a run of Han,
 * Kana or Hangul characters is taken as its overlapping two-character pieces (a lone character
 * alone), so a Chinese or Japanese term of two or more characters finds the topics that hold it.
 * The tables are the generator's own and must change with it.
 *
 * The search files of js/search/ hold words folded: lower-case, and the Latin letters of U+00C0
 * to U+017F without their accents ("résumé" is "resume"), again exactly as the generator does.
 */
var PlovikWords = (function () {
    'use strict';

    var SEPARATORS = [
        [0x0080, 0x00A9], [0x00AB, 0x00B1], [0x00B4, 0x00B4], [0x00B6, 0x00B8], [0x00BB, 0x00BB],
        [0x00BF, 0x00BF], [0x00D7, 0x00D7], [0x00F7, 0x00F7], [0x037E, 0x037E], [0x0387, 0x0387],
        [0x055A, 0x055F], [0x0589, 0x058A], [0x05BE, 0x05BE], [0x05C0, 0x05C0], [0x05C3, 0x05C3],
        [0x05C6, 0x05C6], [0x05F3, 0x05F4], [0x060C, 0x060D], [0x061B, 0x061B], [0x061F, 0x061F],
        [0x066A, 0x066D], [0x06D4, 0x06D4], [0x0964, 0x0965], [0x0970, 0x0970], [0x0E4F, 0x0E4F],
        [0x0E5A, 0x0E5B], [0x1680, 0x1680], [0x2000, 0x206F], [0x20A0, 0x20CF], [0x2190, 0x21FF],
        [0x2500, 0x27BF], [0x2E00, 0x2E7F], [0x3000, 0x3004], [0x3008, 0x3020], [0x3030, 0x3030],
        [0x303D, 0x303F], [0x30FB, 0x30FB], [0xFE10, 0xFE19], [0xFE30, 0xFE6B], [0xFEFF, 0xFEFF],
        [0xFF01, 0xFF0F], [0xFF1A, 0xFF20], [0xFF3B, 0xFF40], [0xFF5B, 0xFF65], [0xFFE0, 0xFFEE],
        [0xFFF9, 0xFFFD]
    ];
    var CJK = [
        [0x1100, 0x11FF], [0x2E80, 0x2FDF], [0x3005, 0x3007], [0x3021, 0x3029], [0x3031, 0x3035],
        [0x3038, 0x303C], [0x3041, 0x30FA], [0x30FC, 0x30FF], [0x3130, 0x318F], [0x31F0, 0x31FF],
        [0x3400, 0x4DBF], [0x4E00, 0x9FFF], [0xA960, 0xA97F], [0xAC00, 0xD7FF], [0xF900, 0xFAFF],
        [0xFF66, 0xFFDC], [0x20000, 0x3FFFF]
    ];
    var ASCII_SEPARATORS = ' \t.:,[]{}()-|/@?\'"~$!;*#+\\_&=%^';

    var LETTER = 0, SEPARATOR = 1, CJK_CHAR = 2;

    function inRanges(ranges, cp) {
        var lo = 0, hi = ranges.length;
        while (lo < hi) {
            var mid = (lo + hi) >>> 1;
            if (ranges[mid][0] <= cp) lo = mid + 1; else hi = mid;
        }
        return lo > 0 && cp <= ranges[lo - 1][1];
    }

    function classify(cp) {
        if (cp < 0x80) return ASCII_SEPARATORS.indexOf(String.fromCharCode(cp)) >= 0 ? SEPARATOR : LETTER;
        if (inRanges(SEPARATORS, cp)) return SEPARATOR;
        if (inRanges(CJK, cp)) return CJK_CHAR;
        return LETTER;
    }

    function utf8Length(s) {
        var n = 0;
        for (var i = 0; i < s.length; i++) {
            var c = s.charCodeAt(i);
            if (c < 0x80) n += 1;
            else if (c < 0x800) n += 2;
            else if (c >= 0xD800 && c <= 0xDBFF) { n += 4; i++; }
            else n += 3;
        }
        return n;
    }

    // Every piece of `text` in order: {word, cjk}. Letter runs of any length are included, so
    // that a caller can tell the user which words were too short.
    function tokens(text) {
        var out = [];
        var letters = '';
        var previous = null, count = 0;
        function endLetters() {
            if (letters) out.push({ word: letters, cjk: false });
            letters = '';
        }
        function endCjk() {
            if (count === 1) out.push({ word: previous, cjk: true });
            count = 0;
        }
        for (var ch of String(text)) {
            var kind = classify(ch.codePointAt(0));
            if (kind !== LETTER) endLetters();
            if (kind !== CJK_CHAR && count) endCjk();
            if (kind === LETTER) letters += ch;
            else if (kind === CJK_CHAR) {
                if (count) out.push({ word: previous + ch, cjk: true });
                previous = ch;
                count++;
            }
        }
        endLetters();
        if (count) endCjk();
        return out;
    }

    // The words the search data holds for `text`: letter runs of three bytes or more, ASCII
    // letters lower-cased, and the CJK pieces.
    function words(text) {
        var out = [];
        var all = tokens(text);
        for (var i = 0; i < all.length; i++) {
            var t = all[i];
            if (t.cjk) out.push(t.word);
            else if (utf8Length(t.word) >= 3) out.push(t.word.replace(/[A-Z]+/g, function (s) { return s.toLowerCase(); }));
        }
        return out;
    }

    // U+00C0 to U+017F without accents; '*' marks the letters handled in foldChar.
    var LATIN = 'aaaaaa*ceeeeiiiidnooooo*ouuuuy**aaaaaa*ceeeeiiiidnooooo*ouuuuy*y' +
        'aaaaaaccccccccddddeeeeeeeeeegggggggghhhhiiiiiiiiii**jjkkkllllllllll' +
        'nnnnnnnnnoooooo**rrrrrrssssssssttttttuuuuuuuuuuuuwwyyyzzzzzzs';
    var SPECIAL = { 0xC6: 'ae', 0xE6: 'ae', 0xDE: 'th', 0xFE: 'th', 0xDF: 'ss', 0x132: 'ij', 0x133: 'ij', 0x152: 'oe', 0x153: 'oe' };

    function foldChar(cp, ch) {
        if (cp >= 0x41 && cp <= 0x5A) return String.fromCharCode(cp + 32);
        if (cp >= 0xC0 && cp < 0x180) {
            var base = LATIN.charAt(cp - 0xC0);
            return base !== '*' ? base : (SPECIAL[cp] || ch);
        }
        if (cp >= 0x300 && cp <= 0x36F) return '';
        if ((cp >= 0x391 && cp <= 0x3A9 && cp !== 0x3A2) || (cp >= 0x410 && cp <= 0x42F)) return String.fromCharCode(cp + 0x20);
        if (cp >= 0x400 && cp <= 0x40F) return String.fromCharCode(cp + 0x50);
        return ch;
    }

    // `text` folded, with `map[i]` the index in `text` of the character that gave folded
    // character i (and map[folded.length] = text.length), to mark matches in the original.
    function foldMap(text) {
        text = String(text);
        var out = '', map = [];
        for (var i = 0; i < text.length;) {
            var cp = text.codePointAt(i);
            var ch = String.fromCodePoint(cp);
            var f = foldChar(cp, ch);
            for (var k = 0; k < f.length; k++) map.push(i);
            out += f;
            i += ch.length;
        }
        map.push(text.length);
        return { text: out, map: map };
    }
    function fold(text) { return foldMap(text).text; }

    // Letters of the folded words: control characters and angle brackets end them as well.
    function isLetter(ch) {
        if (ch === '') return false;
        var cp = ch.codePointAt(0);
        return cp >= 0x20 && cp !== 0x3C && cp !== 0x3E && cp !== 0x7F && classify(cp) === LETTER;
    }
    function startsFoldedWord(text, at) {
        if (at <= 0) return true;
        var before = text.charAt(at - 1);
        var code = before.charCodeAt(0);
        if (code >= 0xDC00 && code <= 0xDFFF && at >= 2) before = text.slice(at - 2, at);
        return !isLetter(before) || classify(text.codePointAt(at)) === CJK_CHAR;
    }

    // A query: quoted parts are phrases, whose words must follow each other; a run of Chinese,
    // Japanese or Korean characters is one too (its pieces follow each other). Each term is
    // {words: [...folded...], phrase: bool}; words too short to be in the data are left out and
    // counted in `ignored`.
    function parseQuery(text) {
        var terms = [], ignored = 0, seen = Object.create(null);
        var parts = String(text).split('"');
        for (var p = 0; p < parts.length; p++) {
            var quoted = p % 2 === 1 && p < parts.length - 1;
            var all = tokens(fold(parts[p]).replace(/[\u0000-\u001f<>\u007f]/g, ' '));
            var run = [];
            var flush = function () {
                if (run.length) addTerm(run, true);
                run = [];
            };
            var addTerm = function (words, phrase) {
                var key = words.join(' ');
                if (seen[key]) return;
                seen[key] = 1;
                terms.push({ words: words, phrase: phrase && words.length > 1 });
            };
            var phraseWords = [];
            for (var i = 0; i < all.length; i++) {
                var t = all[i];
                if (!t.cjk && utf8Length(t.word) < 3) { ignored++; continue; }
                if (quoted) { phraseWords.push(t.word); continue; }
                if (t.cjk) { run.push(t.word); if (i + 1 >= all.length || !all[i + 1].cjk) flush(); }
                else addTerm([t.word], false);
            }
            flush();
            if (phraseWords.length) addTerm(phraseWords, true);
        }
        return { terms: terms.slice(0, 10), ignored: ignored };
    }

    // True when a word may start at position `at` of `text`, for marking matches in titles.
    function startsWord(text, at) {
        if (at <= 0) return true;
        var before = text.codePointAt(at - 1);
        if (before >= 0xDC00 && before <= 0xDFFF && at >= 2) before = text.codePointAt(at - 2);
        var here = text.codePointAt(at);
        return classify(before) !== LETTER || classify(here) === CJK_CHAR;
    }

    return {
        tokens: tokens, words: words, startsWord: startsWord, utf8Length: utf8Length,
        fold: fold, foldMap: foldMap, isLetter: isLetter, startsFoldedWord: startsFoldedWord,
        parseQuery: parseQuery
    };
})();

if (typeof module === 'object' && module.exports) module.exports = PlovikWords;
