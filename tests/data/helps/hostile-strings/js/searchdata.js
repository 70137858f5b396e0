window.__shadowed = 'js/searchdata.js';
var files = [['This help\'s own searchdata.js', 'welcome.htm']];
var keywords = [];
