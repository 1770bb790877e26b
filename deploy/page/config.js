// The studio's settings for the board page. gameUrl: where the browser build is served,
// relative to this page or absolute; every watch link opens it.
window.tamqPage = { gameUrl: "/play/" };
